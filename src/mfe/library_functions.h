#pragma once
// The library's own text functions, behind VersaoLib, mfe_log_variaveis,
// GeraNumeroSessao and AbreSerialMFE.
#include <string>

namespace tavik::mfe {

// "TAVIK  DLL SAT Versão: " followed by the build identifier.
std::string version_text();
// The two logging variables as the process sees them now.
std::string log_variables_text();

// Each stores its text under a private, freshly generated session number.
const char* versao_lib();
const char* mfe_log_variaveis();

int abre_serial_mfe();

}  // namespace tavik::mfe
