#include "dllsat/sat_message.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "dllsat/catalogue.h"
#include "dllsat/sat_compression.h"

namespace tavik::dllsat {
namespace {

using codec::SatFunction;

// A signed 32-bit decimal with an optional "+" or "-", nothing else around it.
std::optional<std::int32_t> read_session_number(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '-') return std::nullopt;
  }
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The module's answers saying that the session number is invalid or that the
// error is unknown carry a number of their own. field_at(i) gives the i-th
// field of the answer, or nothing.
template <class FieldAt>
bool is_refusal(const FieldAt& field_at) {
  if (field_at(2) == std::string_view("Numero de sessao invalida")) return true;
  const auto second = field_at(1);
  return second == std::string_view("Número de sessão inválido") || second == std::string_view("Erro desconhecido");
}

template <class FieldAt>
bool answers(const codec::SatBody& request, std::int32_t answered, const FieldAt& field_at) {
  if (request.code == SatFunction::ConsultarUltimaSessaoFiscal) return true;
  if (request.code == SatFunction::ConsultarNumeroSessao) {
    const auto& contents = request.fields.contents;
    if (contents.size() >= 2 && read_session_number(contents[1]) == answered) return true;
    return answered == request.fields.num_session;
  }
  if (answered == request.fields.num_session) return true;
  return is_refusal(field_at);
}

template <class T>
kovo_base::Result<T> folded(std::expected<T, codec::ProtocolError> result) {
  if (!result) return std::unexpected(kovo_base::ConnectionError::protocol());
  return std::move(*result);
}

}  // namespace

bool is_response_to(const codec::SatBody& request, const codec::SatBody& response) {
  const auto& contents = response.fields.contents;
  return answers(request, response.fields.num_session, [&](std::size_t i) -> std::optional<std::string_view> {
    if (i < contents.size()) return contents[i];
    return std::nullopt;
  });
}

bool is_response_to(const codec::SatBody& request, const codec::ReceivedSatBody& response) {
  return answers(request, response.fields.num_session,
                 [&](std::size_t i) { return response.fields.contents.at(i); });
}

kovo_base::Result<codec::Bytes> SatMessage::encode(const Body& body) {
  return folded(codec::sat::encode_frame(body, sat_compression_enabled()));
}

kovo_base::Result<codec::ParsedHeader<SatMessage::Header>> SatMessage::parse_header(codec::ByteView input) {
  return folded(codec::sat::parse_frame_header(input));
}

kovo_base::Result<SatMessage::Response> SatMessage::decode(const Header& header, codec::ByteView body) {
  return folded(codec::sat::decode_received_body(header, body));
}

std::uint64_t SatMessage::response_timeout(const Body& request) { return dllsat::response_timeout(request.code); }

}  // namespace tavik::dllsat
