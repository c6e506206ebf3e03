#pragma once
// The real shared library, loaded with dlopen as a host loads it, and the
// exports the soak calls, typed from the public C header.
#include <string>

#include "taviksat/taviksat.h"

namespace tavik::soak {

struct Exports {
  decltype(&ConsultarSAT) consultar_sat = nullptr;
  decltype(&ConsultarStatusOperacional) consultar_status_operacional = nullptr;
  decltype(&EnviarDadosVenda) enviar_dados_venda = nullptr;
  decltype(&ExtrairLogs) extrair_logs = nullptr;
  decltype(&TesteFimAFim) teste_fim_a_fim = nullptr;
  decltype(&ConsultarStatusOperacionalMFE) consultar_status_operacional_mfe = nullptr;
  decltype(&ConfigurarInterfaceDeRedeMFE) configurar_interface_de_rede_mfe = nullptr;
  decltype(&InformarProducaoMFE) informar_producao_mfe = nullptr;
  decltype(&EnviarStatusAC) enviar_status_ac = nullptr;
  decltype(&GeraNumeroSessao) gera_numero_sessao = nullptr;
  decltype(&VersaoLib) versao_lib = nullptr;
  decltype(&mfe_log_variaveis) log_variaveis = nullptr;
  decltype(&HabilitarConexaoContinua) habilitar_conexao_continua = nullptr;
  decltype(&DesabilitarConexaoContinua) desabilitar_conexao_continua = nullptr;
  decltype(&HabilitarProtocoloComprimido) habilitar_protocolo_comprimido = nullptr;
  decltype(&DesabilitarProtocoloComprimido) desabilitar_protocolo_comprimido = nullptr;
  decltype(&HabilitarRedeBroadcast) habilitar_rede_broadcast = nullptr;
  decltype(&FiltraMFENumSerie) filtra_num_serie = nullptr;
  decltype(&FiltraMFEUsb) filtra_usb = nullptr;
  decltype(&FiltraMFEIp) filtra_ip = nullptr;
  decltype(&LimpaFiltrosMFE) limpa_filtros = nullptr;
  decltype(&GetDeviceInfoAsJson) device_info_json = nullptr;
  decltype(&ListAvailableMfeTcpAsJson) list_tcp_json = nullptr;
};

class Library {
 public:
  // Loads the library and resolves every export; the error text otherwise.
  static Library* load(const std::string& path, std::string& error);
  ~Library();  // unloads (unless kept): the library stops its heartbeat and releases
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const Exports& exports() const { return exports_; }
  // Leaves the library loaded when this object goes: it stays until exit.
  void keep_loaded() { keep_loaded_ = true; }

 private:
  explicit Library(void* handle) : handle_(handle) {}
  void* handle_;
  bool keep_loaded_ = false;
  Exports exports_;
};

}  // namespace tavik::soak
