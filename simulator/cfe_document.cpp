#include "simulator/cfe_document.h"

#include <fmt/format.h>

#include "simulator/decimal_amount.h"
#include "simulator/text_utils.h"
#include "simulator/xml_scan.h"

namespace tavik::simulator {

char access_key_check_digit(std::string_view first43) {
  int sum = 0;
  int weight = 2;
  for (auto it = first43.rbegin(); it != first43.rend(); ++it) {
    sum += (*it - '0') * weight;
    weight = weight == 9 ? 2 : weight + 1;
  }
  const int d = 11 - sum % 11;
  return char('0' + (d >= 10 ? 0 : d));
}

std::string access_key(const KeyParts& p) {
  std::string key = fmt::format("{:02}{}{}59{}{}{}", p.uf, p.year_month, p.cnpj, p.nserie,
                                zero_padded(p.ncfe, 6), p.cnf);
  key += access_key_check_digit(key);
  return key;
}

namespace {

std::string text_or_empty(std::string_view xml, std::string_view name) {
  return std::string(xml::text_of(xml, name).value_or(""));
}

// A stand-in for the enveloped XML-DSig signature (the simulator holds no
// taxpayer certificate); shaped like the real one.
std::string signature_block(std::string_view key, std::string_view qr_signature) {
  return fmt::format(
      "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>"
      "<CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
      "<SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>"
      "<Reference URI=\"#CFe{}\"><DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/>"
      "<DigestValue>{}</DigestValue></Reference></SignedInfo><SignatureValue>{}</SignatureValue>"
      "</Signature>",
      key, qr_signature.substr(0, 44), qr_signature);
}

std::string ide_block(const Emission& e, std::string_view pos_ide) {
  return fmt::format(
      "<ide><cUF>{:02}</cUF><cNF>{}</cNF><mod>59</mod><nserieSAT>{}</nserieSAT><nCFe>{}</nCFe>"
      "<dEmi>{}</dEmi><hEmi>{}</hEmi><cDV>{}</cDV><tpAmb>2</tpAmb><CNPJ>{}</CNPJ><signAC>{}</signAC>"
      "<assinaturaQRCODE>{}</assinaturaQRCODE><numeroCaixa>{}</numeroCaixa></ide>",
      e.parts.uf, e.parts.cnf, e.parts.nserie, zero_padded(e.parts.ncfe, 6), e.date, e.time,
      e.key.back(), text_or_empty(pos_ide, "CNPJ"), text_or_empty(pos_ide, "signAC"), e.qr_signature,
      text_or_empty(pos_ide, "numeroCaixa"));
}

}  // namespace

std::string sale_document(const Emission& e, std::string_view sale_xml) {
  const auto inf = xml::find(sale_xml, "infCFe");
  const std::string_view inner = inf ? inf->inner : std::string_view{};
  const auto ide = xml::find(inner, "ide");
  std::string body;
  for (const char* name : {"emit", "dest"}) {
    if (auto element = xml::find(inner, name)) body += element->whole;
  }
  for (const auto& det : xml::find_all(inner, "det")) body += det.whole;
  body += fmt::format("<total><vCFe>{}</vCFe></total>", e.total);
  if (auto pgto = xml::find(inner, "pgto")) body += pgto->whole;
  if (auto adic = xml::find(inner, "infAdic")) body += adic->whole;
  const std::string version =
      inf ? std::string(xml::attribute(*inf, "versaoDadosEnt").value_or("0.08")) : "0.08";
  return fmt::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><CFe><infCFe Id=\"CFe{}\" versao=\"0.08\" "
      "versaoDadosEnt=\"{}\" versaoSB=\"010000\">{}{}</infCFe>{}</CFe>",
      e.key, version, ide_block(e, ide ? ide->inner : std::string_view{}), body,
      signature_block(e.key, e.qr_signature));
}

std::string cancellation_document(const Emission& e, std::string_view cancelled_key,
                                  std::string_view sale_date_time, std::string_view cancellation_xml) {
  const auto ide = xml::find(cancellation_xml, "ide");
  return fmt::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><CFeCanc><infCFe Id=\"CFe{}\" chCanc=\"CFe{}\" "
      "versao=\"0.08\"><dEmi>{}</dEmi><hEmi>{}</hEmi>{}<emit/><dest>{}</dest>"
      "<total><vCFe>{}</vCFe></total></infCFe>{}</CFeCanc>",
      e.key, cancelled_key, sale_date_time.substr(0, 8), sale_date_time.substr(8),
      ide_block(e, ide ? ide->inner : std::string_view{}),
      e.consumer.empty() ? std::string() : fmt::format("<CPF>{}</CPF>", e.consumer), e.total,
      signature_block(e.key, e.qr_signature));
}

namespace {
std::int64_t amount_cents(std::string_view xml, std::string_view name) {
  const auto value = parse_decimal(xml::text_of(xml, name).value_or("0"));
  return value ? cents_of(*value) : 0;
}
}  // namespace

std::int64_t sale_total_cents(std::string_view sale_xml) {
  std::int64_t total = 0;
  for (const auto& det : xml::find_all(sale_xml, "det")) {
    const auto quantity = parse_decimal(xml::text_of(det.inner, "qCom").value_or("0"));
    const auto price = parse_decimal(xml::text_of(det.inner, "vUnCom").value_or("0"));
    const CentsRule rule = xml::text_of(det.inner, "indRegra") == "T" ? CentsRule::Truncate : CentsRule::Round;
    if (quantity && price) total += product_cents(*quantity, *price, rule);
    total += amount_cents(det.inner, "vOutro") - amount_cents(det.inner, "vDesc");
  }
  if (const auto subtotal = xml::find(sale_xml, "DescAcrEntr")) {
    total += amount_cents(subtotal->inner, "vAcresSubtot") - amount_cents(subtotal->inner, "vDescSubtot");
  }
  return total;
}

std::string sale_consumer(std::string_view sale_xml) {
  const auto dest = xml::find(sale_xml, "dest");
  if (!dest) return {};
  if (auto cpf = xml::text_of(dest->inner, "CPF")) return std::string(*cpf);
  if (auto cnpj = xml::text_of(dest->inner, "CNPJ")) return std::string(*cnpj);
  return {};
}

}  // namespace tavik::simulator
