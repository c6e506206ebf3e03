/*
 * taviksat: driver library for SAT and MFE fiscal modules.
 *
 * Every text result points into storage owned by the library: never free it,
 * and copy it before 100 further calls have been made (older results are
 * recycled). The three *AsJson functions return new allocations that the
 * library never frees; they may return NULL.
 *
 * Calling convention. On 32-bit Windows (x86) the library comes in two
 * builds: the __cdecl one, and the __stdcall one (for Visual Basic 6 and
 * other hosts that can only call __stdcall). A host of the __stdcall build
 * defines TAVIK_STDCALL before including this header. Both builds export the
 * same undecorated names (GetProcAddress(module, "ConsultarSAT")). On 64-bit
 * Windows and on other systems there is one convention and TAVIK_STDCALL
 * changes nothing.
 */
#ifndef TAVIKSAT_TAVIKSAT_H
#define TAVIKSAT_TAVIKSAT_H

/* The version of this header and of the library built with it. */
#define TAVIK_VERSION_MAJOR 1
#define TAVIK_VERSION_MINOR 0
#define TAVIK_VERSION_PATCH 0
#define TAVIK_VERSION_STRING "1.0.0"

#if defined(_WIN32)
#  if defined(TAVIK_STDCALL) && (defined(_M_IX86) || defined(__i386__))
#    define TAVIK_CALL __stdcall
#  else
#    define TAVIK_CALL __cdecl
#  endif
#  if defined(TAVIK_BUILDING_LIBRARY)
#    define TAVIK_API __declspec(dllexport)
#  else
#    define TAVIK_API __declspec(dllimport)
#  endif
#else
#  define TAVIK_CALL
#  if defined(TAVIK_BUILDING_LIBRARY)
#    define TAVIK_API __attribute__((visibility("default")))
#  else
#    define TAVIK_API
#  endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* SAT interface */
TAVIK_API const char* TAVIK_CALL ConsultarSAT(int numeroSessao);
TAVIK_API const char* TAVIK_CALL ConsultarStatusOperacional(int numeroSessao, const char* codigoDeAtivacao);
TAVIK_API const char* TAVIK_CALL AtualizarSoftwareSAT(int numeroSessao, const char* codigoDeAtivacao);
TAVIK_API const char* TAVIK_CALL ExtrairLogs(int numeroSessao, const char* codigoDeAtivacao);
TAVIK_API const char* TAVIK_CALL EnviarDadosVenda(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda);
TAVIK_API const char* TAVIK_CALL AtivarSAT(int numeroSessao, int subComando, const char* codigoDeAtivacao,
                                           const char* CNPJ, int cUF);
TAVIK_API const char* TAVIK_CALL AssociarAssinatura(int numeroSessao, const char* codigoDeAtivacao,
                                                    const char* CNPJvalue, const char* assinaturaCNPJs);
TAVIK_API const char* TAVIK_CALL ConsultarNumeroSessao(int numeroSessao, const char* codigoDeAtivacao,
                                                       int cNumeroDeSessao);
TAVIK_API const char* TAVIK_CALL ConsultarUltimaSessaoFiscal(int numeroSessao, const char* codigoDeAtivacao);
TAVIK_API const char* TAVIK_CALL CancelarUltimaVenda(int numeroSessao, const char* codigoDeAtivacao, const char* chave,
                                                     const char* dadosCancelamento);
TAVIK_API const char* TAVIK_CALL ConfigurarInterfaceDeRede(int numeroSessao, const char* codigoDeAtivacao,
                                                           const char* dadosConfiguracao);
TAVIK_API const char* TAVIK_CALL BloquearSAT(int numeroSessao, const char* codigoDeAtivacao);
TAVIK_API const char* TAVIK_CALL DesbloquearSAT(int numeroSessao, const char* codigoDeAtivacao);
TAVIK_API const char* TAVIK_CALL TesteFimAFim(int numeroSessao, const char* codigoDeAtivacao, const char* dadosVenda);
TAVIK_API const char* TAVIK_CALL ComunicarCertificadoICPBRASIL(int numeroSessao, const char* codigoDeAtivacao,
                                                               const char* certificado);
TAVIK_API const char* TAVIK_CALL TrocarCodigoDeAtivacao(int numeroSessao, const char* codigoDeAtivacao, int opcao,
                                                        const char* novoCodigo, const char* confNovoCodigo);

/* MFE extensions */
TAVIK_API const char* TAVIK_CALL ConfigurarInterfaceDeRedeMFE(int numeroSessao, const char* texto1, const char* texto2);
TAVIK_API const char* TAVIK_CALL ConsultarStatusOperacionalMFE(int numeroSessao, const char* texto1);
TAVIK_API const char* TAVIK_CALL EnviarStatusAC(int numeroSessao, const char* texto1, const char* texto2,
                                                const char* texto3);
TAVIK_API const char* TAVIK_CALL InformarProducaoMFE(int numeroSessao, const char* texto1, const char* texto2,
                                                     const char* texto3);

/* The library's own functions */
TAVIK_API int TAVIK_CALL GeraNumeroSessao(void);
TAVIK_API const char* TAVIK_CALL VersaoLib(void);
TAVIK_API const char* TAVIK_CALL mfe_log_variaveis(void);
TAVIK_API void TAVIK_CALL HabilitarConexaoContinua(void);
TAVIK_API void TAVIK_CALL DesabilitarConexaoContinua(void);
TAVIK_API void TAVIK_CALL HabilitarProtocoloComprimido(void);
TAVIK_API void TAVIK_CALL DesabilitarProtocoloComprimido(void);
TAVIK_API void TAVIK_CALL HabilitarRedeBroadcast(void);
TAVIK_API int TAVIK_CALL AbreSerialMFE(void);
TAVIK_API int TAVIK_CALL FiltraMFENumSerie(const char* numeroSerie);
TAVIK_API int TAVIK_CALL FiltraMFEUsb(int hub, int porta);
TAVIK_API int TAVIK_CALL FiltraMFEIp(const char* ip);
TAVIK_API void TAVIK_CALL LimpaFiltrosMFE(void);
TAVIK_API const char* TAVIK_CALL GetDeviceInfoAsJson(void);
TAVIK_API const char* TAVIK_CALL ListAvailableMfeUsbAsJson(void);
TAVIK_API const char* TAVIK_CALL ListAvailableMfeTcpAsJson(void);

#ifdef __cplusplus
}
#endif

#endif
