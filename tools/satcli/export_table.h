#pragma once
// Every export of the library with its C signature, for hosts that call them
// by name. Parameter letters: i = int, s = const char*. Result letters:
// t = result text, j = JSON text or NULL, i = int, f = int status (0 success,
// 1 failure), v = nothing.
#include <array>
#include <string_view>

namespace satcli {

struct ExportSignature {
  std::string_view name;
  char result;
  std::string_view parameters;
  std::string_view parameter_names;
};

inline constexpr std::array<ExportSignature, 36> exports{{
    {"ConsultarSAT", 't', "i", "numeroSessao"},
    {"ConsultarStatusOperacional", 't', "is", "numeroSessao codigoDeAtivacao"},
    {"AtualizarSoftwareSAT", 't', "is", "numeroSessao codigoDeAtivacao"},
    {"ExtrairLogs", 't', "is", "numeroSessao codigoDeAtivacao"},
    {"EnviarDadosVenda", 't', "iss", "numeroSessao codigoDeAtivacao dadosVenda"},
    {"AtivarSAT", 't', "iissi", "numeroSessao subComando codigoDeAtivacao CNPJ cUF"},
    {"AssociarAssinatura", 't', "isss", "numeroSessao codigoDeAtivacao CNPJvalue assinaturaCNPJs"},
    {"ConsultarNumeroSessao", 't', "isi", "numeroSessao codigoDeAtivacao cNumeroDeSessao"},
    {"ConsultarUltimaSessaoFiscal", 't', "is", "numeroSessao codigoDeAtivacao"},
    {"CancelarUltimaVenda", 't', "isss", "numeroSessao codigoDeAtivacao chave dadosCancelamento"},
    {"ConfigurarInterfaceDeRede", 't', "iss", "numeroSessao codigoDeAtivacao dadosConfiguracao"},
    {"BloquearSAT", 't', "is", "numeroSessao codigoDeAtivacao"},
    {"DesbloquearSAT", 't', "is", "numeroSessao codigoDeAtivacao"},
    {"TesteFimAFim", 't', "iss", "numeroSessao codigoDeAtivacao dadosVenda"},
    {"ComunicarCertificadoICPBRASIL", 't', "iss", "numeroSessao codigoDeAtivacao certificado"},
    {"TrocarCodigoDeAtivacao", 't', "isiss", "numeroSessao codigoDeAtivacao opcao novoCodigo confNovoCodigo"},
    {"ConfigurarInterfaceDeRedeMFE", 't', "iss", "numeroSessao texto1 texto2"},
    {"ConsultarStatusOperacionalMFE", 't', "is", "numeroSessao texto1"},
    {"EnviarStatusAC", 't', "isss", "numeroSessao texto1 texto2 texto3"},
    {"InformarProducaoMFE", 't', "isss", "numeroSessao texto1 texto2 texto3"},
    {"GeraNumeroSessao", 'i', "", ""},
    {"VersaoLib", 't', "", ""},
    {"mfe_log_variaveis", 't', "", ""},
    {"HabilitarConexaoContinua", 'v', "", ""},
    {"DesabilitarConexaoContinua", 'v', "", ""},
    {"HabilitarProtocoloComprimido", 'v', "", ""},
    {"DesabilitarProtocoloComprimido", 'v', "", ""},
    {"HabilitarRedeBroadcast", 'v', "", ""},
    {"AbreSerialMFE", 'i', "", ""},
    {"FiltraMFENumSerie", 'f', "s", "numeroSerie"},
    {"FiltraMFEUsb", 'f', "ii", "hub porta"},
    {"FiltraMFEIp", 'f', "s", "ip"},
    {"LimpaFiltrosMFE", 'v', "", ""},
    {"GetDeviceInfoAsJson", 'j', "", ""},
    {"ListAvailableMfeUsbAsJson", 'j', "", ""},
    {"ListAvailableMfeTcpAsJson", 'j', "", ""},
}};

}  // namespace satcli
