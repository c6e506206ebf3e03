#pragma once
// Which outcomes of a call are the library's own failures, for
// --fail-on-error. A fiscal module's answer is never one, even when the
// module refuses the request (for example 10001 "Código de ativação
// inválido"): it carries the module's five-digit code for the script to read.
#include "invoke.h"

namespace satcli {

// True for:
//  - a result text the library gives instead of a module's answer: the
//    argument errors "Argumento eh NULL" and "Argumento nao eh UTF-8 valido",
//    "timeout" (every connection or protocol failure), and the text of a
//    module that cannot be reached, whose second field is the library's
//    four-digit code 9999 (<session>|9999|SAT Desconectado);
//  - status 1 of the filter exports (FiltraMFE...): no device opened;
//  - NULL from the JSON exports: no connected device, or the listing failed.
bool is_error_result(const CallOutcome& outcome);

}  // namespace satcli
