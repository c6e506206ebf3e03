// The 36 C exports. Each one is a thin shell over the call frame: nothing
// thrown inside ever crosses into the host program.
#include "taviksat/taviksat.h"

#include "codec/frame.h"
#include "dllsat/sat_compression.h"
#include "dllsat/send_sat_command.h"
#include "dllsat/session_manager.h"
#include "kovo_base/connection/modes.h"
#include "mfe/ac_status.h"
#include "mfe/call_frame.h"
#include "mfe/device_selection.h"
#include "mfe/heartbeat/heartbeat.h"
#include "mfe/library_functions.h"
#include "mfe/messages.h"

namespace {

using tavik::codec::MfeMessageType;
using tavik::codec::SatFunction;
using tavik::mfe::decimal;
using tavik::mfe::text_export;
using Texts1 = std::array<std::string, 1>;
using Texts2 = std::array<std::string, 2>;
using Texts3 = std::array<std::string, 3>;

// A SAT export whose argument list is exactly its text arguments in order.
template <std::size_t N>
const char* sat_export(int session, SatFunction function, const std::array<const char*, N>& arguments) {
  return text_export(session, arguments, [&](std::array<std::string, N> texts) {
    return tavik::dllsat::send_sat_command(session, function,
                                           std::vector<std::string>(std::make_move_iterator(texts.begin()),
                                                                    std::make_move_iterator(texts.end())));
  });
}

template <std::size_t N>
const char* mfe_export(int session, MfeMessageType kind, const std::array<const char*, N>& arguments) {
  return text_export(session, arguments, [&](std::array<std::string, N> texts) {
    return tavik::mfe::send_mfe_command(session, kind,
                                        std::vector<std::string>(std::make_move_iterator(texts.begin()),
                                                                 std::make_move_iterator(texts.end())));
  });
}

}  // namespace

extern "C" {

const char* TAVIK_CALL ConsultarSAT(int numeroSessao) {
  return sat_export<0>(numeroSessao, SatFunction::ConsultarSAT, {});
}

const char* TAVIK_CALL ConsultarStatusOperacional(int numeroSessao, const char* codigoDeAtivacao) {
  return sat_export<1>(numeroSessao, SatFunction::ConsultarStatusOperacional, {codigoDeAtivacao});
}

const char* TAVIK_CALL AtualizarSoftwareSAT(int numeroSessao, const char* codigoDeAtivacao) {
  return sat_export<1>(numeroSessao, SatFunction::AtualizarSoftwareSAT, {codigoDeAtivacao});
}

const char* TAVIK_CALL ExtrairLogs(int numeroSessao, const char* codigoDeAtivacao) {
  return sat_export<1>(numeroSessao, SatFunction::ExtrairLogs, {codigoDeAtivacao});
}

const char* TAVIK_CALL EnviarDadosVenda(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda) {
  return sat_export<2>(numeroSessao, SatFunction::EnviarDadosVenda, {codigoDeAtivacao, dadosVenda});
}

const char* TAVIK_CALL AtivarSAT(int numeroSessao, int subComando, const char* codigoDeAtivacao, const char* CNPJ,
                                 int cUF) {
  // The integer subcommand goes first and the state code last.
  return text_export<2>(numeroSessao, {codigoDeAtivacao, CNPJ}, [&](Texts2 texts) {
    return tavik::dllsat::send_sat_command(numeroSessao, SatFunction::AtivarSAT,
                                           {decimal(subComando), std::move(texts[0]), std::move(texts[1]),
                                            decimal(cUF)});
  });
}

const char* TAVIK_CALL AssociarAssinatura(int numeroSessao, const char* codigoDeAtivacao, const char* CNPJvalue,
                                          const char* assinaturaCNPJs) {
  return sat_export<3>(numeroSessao, SatFunction::AssociarAssinatura, {codigoDeAtivacao, CNPJvalue, assinaturaCNPJs});
}

const char* TAVIK_CALL ConsultarNumeroSessao(int numeroSessao, const char* codigoDeAtivacao, int cNumeroDeSessao) {
  return text_export<1>(numeroSessao, {codigoDeAtivacao}, [&](Texts1 texts) {
    return tavik::dllsat::send_sat_command(numeroSessao, SatFunction::ConsultarNumeroSessao,
                                           {std::move(texts[0]), decimal(cNumeroDeSessao)});
  });
}

const char* TAVIK_CALL ConsultarUltimaSessaoFiscal(int numeroSessao, const char* codigoDeAtivacao) {
  return sat_export<1>(numeroSessao, SatFunction::ConsultarUltimaSessaoFiscal, {codigoDeAtivacao});
}

const char* TAVIK_CALL CancelarUltimaVenda(int numeroSessao, const char* codigoDeAtivacao, const char* chave,
                                           const char* dadosCancelamento) {
  return sat_export<3>(numeroSessao, SatFunction::CancelarUltimaVenda, {codigoDeAtivacao, chave, dadosCancelamento});
}

const char* TAVIK_CALL ConfigurarInterfaceDeRede(int numeroSessao, const char* codigoDeAtivacao,
                                                 const char* dadosConfiguracao) {
  return sat_export<2>(numeroSessao, SatFunction::ConfigurarInterfaceDeRede, {codigoDeAtivacao, dadosConfiguracao});
}

const char* TAVIK_CALL BloquearSAT(int numeroSessao, const char* codigoDeAtivacao) {
  return sat_export<1>(numeroSessao, SatFunction::BloquearSAT, {codigoDeAtivacao});
}

const char* TAVIK_CALL DesbloquearSAT(int numeroSessao, const char* codigoDeAtivacao) {
  return sat_export<1>(numeroSessao, SatFunction::DesbloquearSAT, {codigoDeAtivacao});
}

const char* TAVIK_CALL TesteFimAFim(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda) {
  return sat_export<2>(numeroSessao, SatFunction::TesteFimAFim, {codigoDeAtivacao, dadosVenda});
}

const char* TAVIK_CALL ComunicarCertificadoICPBRASIL(int numeroSessao, const char* codigoDeAtivacao,
                                                     const char* certificado) {
  return sat_export<2>(numeroSessao, SatFunction::ComunicarCertificadoICPBRASIL, {codigoDeAtivacao, certificado});
}

const char* TAVIK_CALL TrocarCodigoDeAtivacao(int numeroSessao, const char* codigoDeAtivacao, int opcao,
                                              const char* novoCodigo, const char* confNovoCodigo) {
  return text_export<3>(numeroSessao, {codigoDeAtivacao, novoCodigo, confNovoCodigo}, [&](Texts3 texts) {
    return tavik::dllsat::send_sat_command(numeroSessao, SatFunction::TrocarCodigoDeAtivacao,
                                           {std::move(texts[0]), decimal(opcao), std::move(texts[1]),
                                            std::move(texts[2])});
  });
}

const char* TAVIK_CALL ConfigurarInterfaceDeRedeMFE(int numeroSessao, const char* texto1, const char* texto2) {
  return mfe_export<2>(numeroSessao, MfeMessageType::ConfigurarInterfaceDeRedeMFE, {texto1, texto2});
}

const char* TAVIK_CALL ConsultarStatusOperacionalMFE(int numeroSessao, const char* texto1) {
  return mfe_export<1>(numeroSessao, MfeMessageType::ConsultarStatusOperacionalMFE, {texto1});
}

const char* TAVIK_CALL EnviarStatusAC(int numeroSessao, const char* texto1, const char* texto2, const char* texto3) {
  return text_export<3>(numeroSessao, {texto1, texto2, texto3}, [](Texts3 texts) -> tavik::kovo_base::Result<std::string> {
    return tavik::mfe::store_ac_status(std::move(texts[0]), std::move(texts[1]), std::move(texts[2]));
  });
}

const char* TAVIK_CALL InformarProducaoMFE(int numeroSessao, const char* texto1, const char* texto2,
                                           const char* texto3) {
  return mfe_export<3>(numeroSessao, MfeMessageType::InformarProducaoMFE, {texto1, texto2, texto3});
}

int TAVIK_CALL GeraNumeroSessao(void) {
  return tavik::mfe::guarded([] { return tavik::dllsat::generate_session_number(); },
                             tavik::dllsat::first_generated_session);
}

const char* TAVIK_CALL VersaoLib(void) {
  return tavik::mfe::guarded([] { return tavik::mfe::versao_lib(); }, "");
}

const char* TAVIK_CALL mfe_log_variaveis(void) {
  return tavik::mfe::guarded([] { return tavik::mfe::mfe_log_variaveis(); }, "");
}

void TAVIK_CALL HabilitarConexaoContinua(void) {
  tavik::mfe::guarded(tavik::kovo_base::connection::enable_continuous_connection);
}

void TAVIK_CALL DesabilitarConexaoContinua(void) {
  tavik::mfe::guarded(tavik::kovo_base::connection::disable_continuous_connection);
}

void TAVIK_CALL HabilitarProtocoloComprimido(void) { tavik::mfe::guarded(tavik::dllsat::enable_sat_compression); }

void TAVIK_CALL DesabilitarProtocoloComprimido(void) { tavik::mfe::guarded(tavik::dllsat::disable_sat_compression); }

void TAVIK_CALL HabilitarRedeBroadcast(void) { tavik::mfe::guarded(tavik::mfe::start_heartbeat); }

int TAVIK_CALL AbreSerialMFE(void) { return tavik::mfe::guarded(tavik::mfe::abre_serial_mfe, 0); }

int TAVIK_CALL FiltraMFENumSerie(const char* numeroSerie) {
  return tavik::mfe::guarded([&] { return tavik::mfe::filter_by_serial(numeroSerie); }, 1);
}

int TAVIK_CALL FiltraMFEUsb(int hub, int porta) {
  return tavik::mfe::guarded([&] { return tavik::mfe::filter_by_usb(hub, porta); }, 1);
}

int TAVIK_CALL FiltraMFEIp(const char* ip) {
  return tavik::mfe::guarded([&] { return tavik::mfe::filter_by_ip(ip); }, 1);
}

void TAVIK_CALL LimpaFiltrosMFE(void) { tavik::mfe::guarded(tavik::mfe::clear_filters); }

const char* TAVIK_CALL GetDeviceInfoAsJson(void) {
  return tavik::mfe::guarded(tavik::mfe::device_info_json, static_cast<const char*>(nullptr));
}

const char* TAVIK_CALL ListAvailableMfeUsbAsJson(void) {
  return tavik::mfe::guarded(tavik::mfe::usb_devices_json, static_cast<const char*>(nullptr));
}

const char* TAVIK_CALL ListAvailableMfeTcpAsJson(void) {
  return tavik::mfe::guarded(tavik::mfe::tcp_devices_json, static_cast<const char*>(nullptr));
}

}  // extern "C"
