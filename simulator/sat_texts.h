#pragma once
// Codes and fixed texts of SAT answers.
#include <string>
#include <string_view>

#include "codec/frame.h"

namespace tavik::simulator {

// The two-digit prefix of a function's result codes (04 = AtivarSAT ...).
int prefix_of(codec::SatFunction function);
// EnviarDadosVenda, CancelarUltimaVenda and AssociarAssinatura carry CCCC.
bool carries_cccc(codec::SatFunction function);
// "06000" from 6 and 0.
std::string result_code(int prefix, int outcome);

// Texts shared by many functions, with the per-function spellings.
std::string_view wrong_code_text();                 // xx001
std::string_view invalid_session_text();            // xx097
std::string_view busy_text(int prefix);             // xx098
std::string_view unknown_error_text(int prefix);    // xx099

// CCCC of failure answers (not fixed by real devices).
inline constexpr std::string_view kFailureCccc = "9999";

}  // namespace tavik::simulator
