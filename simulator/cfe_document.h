#pragma once
// Access keys and the CF-e documents the simulated device returns.
#include <cstdint>
#include <string>
#include <string_view>

namespace tavik::simulator {

// Check digit of the first 43 key digits: weights 2..9 from the right,
// d = 11 - sum mod 11, 10 and 11 become 0.
char access_key_check_digit(std::string_view first43);

struct KeyParts {
  int uf = 35;
  std::string year_month;  // AAMM
  std::string cnpj;        // 14 digits
  std::string nserie;      // 9 digits
  std::uint32_t ncfe = 0;
  std::string cnf;         // 6 digits
};
// The 44-digit key (without "CFe").
std::string access_key(const KeyParts& parts);

struct Emission {
  std::string key;            // 44 digits
  KeyParts parts;
  std::string date;           // AAAAMMDD
  std::string time;           // HHMMSS
  std::string qr_signature;   // base64, 344 characters
  std::string total;          // "2.00"
  std::string consumer;       // CPF or CNPJ digits, may be empty
};

// The signed CF-e built from the point of sale's XML.
std::string sale_document(const Emission& emission, std::string_view sale_xml);
// The signed CFeCanc for a cancelled sale.
std::string cancellation_document(const Emission& emission, std::string_view cancelled_key,
                                  std::string_view sale_date_time, std::string_view cancellation_xml);

// Total of a sale in cents, in exact decimal arithmetic: per item qCom x vUnCom
// rounded (or truncated when indRegra is T) to cents, less vDesc, plus vOutro;
// then less the subtotal discount and plus the subtotal surcharge of
// total/DescAcrEntr.
std::int64_t sale_total_cents(std::string_view sale_xml);
// CPF or CNPJ of the consumer in dest, or empty.
std::string sale_consumer(std::string_view sale_xml);

}  // namespace tavik::simulator
