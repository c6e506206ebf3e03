#include "library.h"

#include <dlfcn.h>

namespace tavik::soak {
namespace {

template <class Function>
bool resolve(void* handle, const char* name, Function& out, std::string& error) {
  out = reinterpret_cast<Function>(::dlsym(handle, name));
  if (out == nullptr) error = std::string("missing export ") + name;
  return out != nullptr;
}

}  // namespace

Library* Library::load(const std::string& path, std::string& error) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : "dlopen failed";
    return nullptr;
  }
  auto* library = new Library(handle);
  Exports& e = library->exports_;
  const bool ok = resolve(handle, "ConsultarSAT", e.consultar_sat, error) &&
                  resolve(handle, "ConsultarStatusOperacional", e.consultar_status_operacional, error) &&
                  resolve(handle, "EnviarDadosVenda", e.enviar_dados_venda, error) &&
                  resolve(handle, "ExtrairLogs", e.extrair_logs, error) &&
                  resolve(handle, "TesteFimAFim", e.teste_fim_a_fim, error) &&
                  resolve(handle, "ConsultarStatusOperacionalMFE", e.consultar_status_operacional_mfe, error) &&
                  resolve(handle, "ConfigurarInterfaceDeRedeMFE", e.configurar_interface_de_rede_mfe, error) &&
                  resolve(handle, "InformarProducaoMFE", e.informar_producao_mfe, error) &&
                  resolve(handle, "EnviarStatusAC", e.enviar_status_ac, error) &&
                  resolve(handle, "GeraNumeroSessao", e.gera_numero_sessao, error) &&
                  resolve(handle, "VersaoLib", e.versao_lib, error) &&
                  resolve(handle, "mfe_log_variaveis", e.log_variaveis, error) &&
                  resolve(handle, "HabilitarConexaoContinua", e.habilitar_conexao_continua, error) &&
                  resolve(handle, "DesabilitarConexaoContinua", e.desabilitar_conexao_continua, error) &&
                  resolve(handle, "HabilitarProtocoloComprimido", e.habilitar_protocolo_comprimido, error) &&
                  resolve(handle, "DesabilitarProtocoloComprimido", e.desabilitar_protocolo_comprimido, error) &&
                  resolve(handle, "HabilitarRedeBroadcast", e.habilitar_rede_broadcast, error) &&
                  resolve(handle, "FiltraMFENumSerie", e.filtra_num_serie, error) &&
                  resolve(handle, "FiltraMFEUsb", e.filtra_usb, error) &&
                  resolve(handle, "FiltraMFEIp", e.filtra_ip, error) &&
                  resolve(handle, "LimpaFiltrosMFE", e.limpa_filtros, error) &&
                  resolve(handle, "GetDeviceInfoAsJson", e.device_info_json, error) &&
                  resolve(handle, "ListAvailableMfeTcpAsJson", e.list_tcp_json, error);
  if (!ok) {
    delete library;
    return nullptr;
  }
  return library;
}

Library::~Library() {
  if (!keep_loaded_) ::dlclose(handle_);
}

}  // namespace tavik::soak
