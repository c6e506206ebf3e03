#pragma once
// satcli's command line: options, then one call or several separated by --.
// Every call is checked here, before the library is loaded, so a typo in any
// call of a chain runs none of them.
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export_table.h"
#include "invoke.h"

namespace satcli {

struct Call {
  const ExportSignature* signature = nullptr;
  std::vector<Argument> arguments;
};

enum class Request { Run, List, Help };

struct CommandLine {
  Request request = Request::Run;
  std::optional<std::string> library;  // --lib PATH
  bool fail_on_error = false;          // --fail-on-error
  bool full = false;                   // --full
  std::vector<Call> calls;             // at least one for Request::Run
};

// The parsed command line, or what is wrong with it (for the user, without
// the "satcli: " prefix). args excludes the program name.
std::expected<CommandLine, std::string> parse_command_line(const std::vector<std::string_view>& args);

const ExportSignature* find_export(std::string_view name);

}  // namespace satcli
