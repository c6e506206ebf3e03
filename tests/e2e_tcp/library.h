#pragma once
// The real libtaviksat.so as a host program sees it: loaded with dlopen in a
// scratch directory (so no settings file applies), with the log at trace
// level in a file the test can read.
#include <filesystem>
#include <string>
#include <vector>

#include "taviksat/taviksat.h"

namespace tavik::e2e {

// Resolves an export or reports a test failure (and gives nullptr).
void* library_symbol(void* handle, const char* name);

#define TAVIK_E2E_EXPORT(name) \
  decltype(&::name) name = reinterpret_cast<decltype(&::name)>(library_symbol(handle, #name))

// The exports the end-to-end tests call.
struct Exports {
  explicit Exports(void* handle) : handle(handle) {}
  void* handle;
  TAVIK_E2E_EXPORT(ConsultarSAT);
  TAVIK_E2E_EXPORT(ConsultarStatusOperacional);
  TAVIK_E2E_EXPORT(AtualizarSoftwareSAT);
  TAVIK_E2E_EXPORT(ExtrairLogs);
  TAVIK_E2E_EXPORT(EnviarDadosVenda);
  TAVIK_E2E_EXPORT(AtivarSAT);
  TAVIK_E2E_EXPORT(AssociarAssinatura);
  TAVIK_E2E_EXPORT(ConsultarNumeroSessao);
  TAVIK_E2E_EXPORT(ConsultarUltimaSessaoFiscal);
  TAVIK_E2E_EXPORT(CancelarUltimaVenda);
  TAVIK_E2E_EXPORT(ConfigurarInterfaceDeRede);
  TAVIK_E2E_EXPORT(BloquearSAT);
  TAVIK_E2E_EXPORT(DesbloquearSAT);
  TAVIK_E2E_EXPORT(TesteFimAFim);
  TAVIK_E2E_EXPORT(ComunicarCertificadoICPBRASIL);
  TAVIK_E2E_EXPORT(TrocarCodigoDeAtivacao);
  TAVIK_E2E_EXPORT(ConfigurarInterfaceDeRedeMFE);
  TAVIK_E2E_EXPORT(ConsultarStatusOperacionalMFE);
  TAVIK_E2E_EXPORT(EnviarStatusAC);
  TAVIK_E2E_EXPORT(InformarProducaoMFE);
  TAVIK_E2E_EXPORT(HabilitarConexaoContinua);
  TAVIK_E2E_EXPORT(DesabilitarConexaoContinua);
  TAVIK_E2E_EXPORT(HabilitarRedeBroadcast);
  TAVIK_E2E_EXPORT(FiltraMFENumSerie);
  TAVIK_E2E_EXPORT(FiltraMFEUsb);
  TAVIK_E2E_EXPORT(FiltraMFEIp);
  TAVIK_E2E_EXPORT(LimpaFiltrosMFE);
  TAVIK_E2E_EXPORT(GetDeviceInfoAsJson);
  TAVIK_E2E_EXPORT(ListAvailableMfeTcpAsJson);
};

#undef TAVIK_E2E_EXPORT

class Library {
 public:
  // Loads the library; check loaded() (a failure is also reported).
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  const Exports& operator*() const { return exports_; }
  const Exports* operator->() const { return &exports_; }

  std::string log_text() const;
  // The log's messages without their time stamps.
  std::vector<std::string> log_lines() const;
  bool log_has(std::string_view part) const;

 private:
  static void* load(const std::filesystem::path& dir);

  std::filesystem::path dir_;
  void* handle_;
  Exports exports_;
};

// Copies a JSON export's result (NULL gives "NULL"); the library never frees it.
std::string json_text(const char* allocated);

}  // namespace tavik::e2e
