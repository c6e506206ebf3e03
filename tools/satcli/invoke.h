#pragma once
// Calls an export found by dlsym with arguments given as text, through a
// function pointer of its exact C type.
#include <optional>
#include <string>
#include <vector>

#include "export_table.h"

namespace satcli {

struct Argument {
  bool is_null = false;  // pass a NULL pointer for a text parameter
  std::string text;
};

struct CallOutcome {
  char result;                       // as in ExportSignature
  std::optional<std::string> text;   // t and j results; absent for a NULL j result
  int number = 0;                    // i and f results
};

// What is wrong with these arguments for this export (their number, or an
// integer parameter that is not a decimal int); nothing when they fit.
std::optional<std::string> argument_fault(const ExportSignature& signature, const std::vector<Argument>& args);

// Fails (nothing) when argument_fault finds a fault or the signature is
// unknown; the export is not called then.
std::optional<CallOutcome> invoke(const ExportSignature& signature, void* symbol, const std::vector<Argument>& args);

}  // namespace satcli
