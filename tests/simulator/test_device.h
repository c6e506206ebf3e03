#pragma once
// A simulated device with a fixed clock and seed, and small helpers for
// calling it and reading its answers.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "simulator/fiscal_module.h"

namespace tavik::simulator::testing {

inline constexpr const char* kCode = "12345678";
inline constexpr const char* kCnpj = "11222333000181";
inline constexpr const char* kSoftwareHouse = "16716114000172";

inline std::string signature() { return std::string(342, 'Q') + "=="; }

inline std::string sale_xml(const std::string& sign_ac = signature()) {
  return "<CFe><infCFe versaoDadosEnt=\"0.08\"><ide><CNPJ>16716114000172</CNPJ><signAC>" + sign_ac +
         "</signAC><numeroCaixa>001</numeroCaixa></ide><emit><CNPJ>11222333000181</CNPJ><IE>111111111111</IE>"
         "<IM>123123</IM><cRegTribISSQN>1</cRegTribISSQN><indRatISSQN>N</indRatISSQN></emit>"
         "<dest><CPF>12345678909</CPF></dest><det nItem=\"1\"><prod><cProd>1</cProd><xProd>Caf\xC3\xA9</xProd>"
         "<qCom>2.0000</qCom><vUnCom>1.25</vUnCom></prod><imposto/></det><det nItem=\"2\"><prod><qCom>1</qCom>"
         "<vUnCom>0.50</vUnCom></prod><imposto/></det><total/><pgto><MP><cMP>01</cMP><vMP>3.00</vMP></MP></pgto>"
         "</infCFe></CFe>";
}

inline std::string cancellation_xml(const std::string& key) {
  return "<CFeCanc><infCFe chCanc=\"" + key +
         "\"><ide><CNPJ>16716114000172</CNPJ><signAC>x</signAC><numeroCaixa>001</numeroCaixa></ide><emit/>"
         "<dest/><total/><infAdic/></infCFe></CFeCanc>";
}

inline std::string base64_decode(const std::string& text) {
  std::string out(text.size() / 4 * 3 + 3, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
  if (n < 0) return {};
  std::size_t size = std::size_t(n);
  if (text.ends_with("==")) size -= 2;
  else if (text.ends_with("=")) size -= 1;
  out.resize(size);
  return out;
}

// 2024-03-05 14:30:15 UTC, moved on by tests that need time to pass.
struct FixedClock {
  std::shared_ptr<std::chrono::system_clock::time_point> at = std::make_shared<std::chrono::system_clock::time_point>(
      std::chrono::sys_days{std::chrono::year{2024} / 3 / 5} + std::chrono::hours(14) + std::chrono::minutes(30) +
      std::chrono::seconds(15));
  Clock clock() const {
    return [at = at] { return *at; };
  }
};

inline DeviceConfig activated_config(const FixedClock& clock = {}) {
  DeviceConfig config;
  config.activation_code = kCode;
  config.taxpayer_cnpj = kCnpj;
  config.ac_signature = signature();
  config.clock = clock.clock();
  config.random_seed = 7;
  return config;
}

// Calls with fresh session numbers, as a well-behaved caller does.
class Caller {
 public:
  explicit Caller(FiscalModule& module) : module_(module) {}
  codec::SatFields operator()(codec::SatFunction function, std::vector<std::string> args = {}) {
    return at(next_session_++, function, std::move(args));
  }
  codec::SatFields at(std::int32_t session, codec::SatFunction function, std::vector<std::string> args = {}) {
    return module_.answer({function, codec::Source::Lib, {session, std::move(args)}}).fields;
  }
  std::int32_t last_session() const { return next_session_ - 1; }

 private:
  FiscalModule& module_;
  std::int32_t next_session_ = 100001;
};

}  // namespace tavik::simulator::testing
