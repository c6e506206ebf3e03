#include "codec/vocabulary.h"

#include <array>
#include <cstddef>

namespace tavik::codec {
namespace {

constexpr std::array<std::string_view, 16> kSatNames = {
    "ConsultarSAT",
    "ConsultarStatusOperacional",
    "AtualizarSoftwareSAT",
    "ExtrairLogs",
    "EnviarDadosVenda",
    "AtivarSAT",
    "AssociarAssinatura",
    "ConsultarNumeroSessao",
    "ConsultarUltimaSessaoFiscal",
    "CancelarUltimaVenda",
    "ConfigurarInterfaceDeRede",
    "BloquearSAT",
    "DesbloquearSAT",
    "TesteFimAFim",
    "ComunicarCertificadoICPBRASIL",
    "TrocarCodigoDeAtivacao",
};

constexpr std::array<std::string_view, 6> kMfeNames = {
    "Beacon",
    "HeartBeatPDV",
    "ConfigurarInterfaceDeRedeMFE",
    "ConsultarStatusOperacionalMFE",
    "EnviarStatusAC",
    "InformarProducaoMFE",
};

constexpr std::array<std::string_view, 3> kSourceNames = {"Lib", "Application", "Broadcast"};
constexpr std::array<std::string_view, 3> kSourceDigits = {"3", "6", "5"};

template <std::size_t N>
std::string_view name_at(const std::array<std::string_view, N>& names, std::size_t index) {
  return index < N ? names[index] : std::string_view{};
}

template <class Code, std::size_t N>
std::optional<Code> find_name(const std::array<std::string_view, N>& names, std::string_view text) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == text) return static_cast<Code>(i);
  }
  return std::nullopt;
}

}  // namespace

std::string_view name_of(Source source) { return name_at(kSourceNames, static_cast<std::size_t>(source)); }
std::string_view name_of(SatFunction code) { return name_at(kSatNames, static_cast<std::size_t>(code)); }
std::string_view name_of(MfeMessageType code) { return name_at(kMfeNames, static_cast<std::size_t>(code)); }

namespace detail {

std::string_view source_digit(Source source) { return name_at(kSourceDigits, static_cast<std::size_t>(source)); }

std::optional<Source> sat_source_from_digit(std::string_view text) {
  if (text == "3") return Source::Lib;
  if (text == "6") return Source::Application;
  return std::nullopt;
}

std::optional<Source> mfe_source_from_digit(std::string_view text) {
  if (text == "5") return Source::Broadcast;
  return sat_source_from_digit(text);
}

std::optional<SatFunction> sat_function_from_name(std::string_view text) {
  if (text == "TrocarCodigoAtivacao") return SatFunction::TrocarCodigoDeAtivacao;
  return find_name<SatFunction>(kSatNames, text);
}

std::optional<MfeMessageType> mfe_message_type_from_name(std::string_view text) {
  return find_name<MfeMessageType>(kMfeNames, text);
}

}  // namespace detail
}  // namespace tavik::codec
