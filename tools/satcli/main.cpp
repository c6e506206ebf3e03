// satcli: loads the library the way a point-of-sale program does and calls
// its exports by name, printing each result. See print_usage for the
// command line; every call is checked before any runs.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "error_result.h"
#include "field_display.h"
#include "invoke.h"
#include "library_choice.h"
#include "system_library.h"

namespace {

// The exit status tells a script what happened.
enum ExitStatus : int {
  all_calls_ran = 0,
  error_result = 1,   // --fail-on-error: a result was an error; later calls did not run
  usage_error = 2,    // the command line is wrong: nothing ran
  library_error = 3,  // the library cannot be loaded or lacks an export: nothing ran
};

void print_usage(std::FILE* out) {
  std::fprintf(out,
               "usage: satcli [OPTION...] NAME [ARG...] [-- NAME [ARG...]]...\n"
               "       satcli --list | --help\n"
               "Calls exports of the taviksat library by name, in one process, in order.\n"
               "An argument @null passes a NULL text. With several calls each result line\n"
               "begins with the name of its call. Every call's name and arguments are\n"
               "checked before any call runs.\n"
               "\n"
               "  --lib PATH        load the library at PATH\n"
               "  --fail-on-error   stop at the first result that is an error and exit 1:\n"
               "                    \"timeout\", \"Argumento eh NULL\", \"Argumento nao eh UTF-8\n"
               "                    valido\", <session>|9999|SAT Desconectado, status 1 of\n"
               "                    FiltraMFE..., NULL from a ...Json export\n"
               "  --full            print long fields whole; otherwise a field longer than\n"
               "                    %zu characters shows its first %zu and its length\n"
               "  --list            every export and its parameters\n"
               "\n"
               "The library is PATH, else $TAVIK_LIBRARY, else %s beside satcli, else\n"
               "%s through the system's library search.\n"
               "Exit status: 0 every call ran; 1 an error result (--fail-on-error);\n"
               "2 a wrong command line, nothing ran; 3 no library or export, nothing ran.\n",
               satcli::long_field_limit, satcli::shown_field_prefix, TAVIK_LIBRARY_FILE_NAME,
               TAVIK_LIBRARY_FILE_NAME);
}

void print_list() {
  for (const auto& signature : satcli::exports) {
    std::printf("%.*s %.*s\n", static_cast<int>(signature.name.size()), signature.name.data(),
                static_cast<int>(signature.parameter_names.size()), signature.parameter_names.data());
  }
}

void print_outcome(const satcli::CallOutcome& outcome, bool full, bool named_line) {
  switch (outcome.result) {
    case 't':
      if (!outcome.text) {  // not a library of this interface: it gave NULL
        std::printf("NULL\n");
        break;
      }
      std::printf("%s\n", full ? outcome.text->c_str() : satcli::shorten_long_fields(*outcome.text).c_str());
      break;
    case 'j':  // a JSON document, whole
      std::printf("%s\n", outcome.text ? outcome.text->c_str() : "NULL");
      break;
    case 'i':
    case 'f':
      std::printf("%d\n", outcome.number);
      break;
    default:
      if (named_line) std::printf("done\n");
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  auto line = satcli::parse_command_line(args);
  if (!line) {
    std::fprintf(stderr, "satcli: %s\n", line.error().c_str());
    return usage_error;
  }
  if (line->request == satcli::Request::Help) {
    print_usage(stdout);
    return all_calls_ran;
  }
  if (line->request == satcli::Request::List) {
    print_list();
    return all_calls_ran;
  }

  // An empty TAVIK_LIBRARY counts as unset: dlopen("") would name satcli itself.
  std::optional<std::string> chosen = line->library;
  const char* environment_choice = std::getenv("TAVIK_LIBRARY");
  if (!chosen && environment_choice != nullptr && *environment_choice != '\0') chosen = environment_choice;
  const auto library = satcli::load_taviksat(chosen, TAVIK_LIBRARY_FILE_NAME);
  if (!library) {
    std::fprintf(stderr, "satcli: %s\n", library.error().c_str());
    return library_error;
  }
  std::vector<void*> symbols;
  for (const auto& call : line->calls) {
    symbols.push_back(satcli::find_library_symbol(library->handle, call.signature->name.data()));
    if (symbols.back() == nullptr) {
      std::fprintf(stderr, "satcli: %s has no export named %s\n", library->source.c_str(),
                   call.signature->name.data());
      return library_error;
    }
  }

  const bool named_lines = line->calls.size() > 1;
  for (std::size_t i = 0; i < line->calls.size(); ++i) {
    const auto& call = line->calls[i];
    const auto outcome = satcli::invoke(*call.signature, symbols[i], call.arguments);
    if (!outcome) {  // argument_fault passed at parse time, so this does not happen
      std::fprintf(stderr, "satcli: %s: arguments refused\n", call.signature->name.data());
      return usage_error;
    }
    if (named_lines) std::printf("%s: ", call.signature->name.data());
    print_outcome(*outcome, line->full, named_lines);
    std::fflush(stdout);
    if (line->fail_on_error && satcli::is_error_result(*outcome)) {
      const std::size_t skipped = line->calls.size() - i - 1;
      std::fprintf(stderr, "satcli: %s gave an error result%s\n", call.signature->name.data(),
                   skipped == 0 ? "" : ("; the " + std::to_string(skipped) + " later call(s) did not run").c_str());
      return error_result;
    }
  }
  // The library stays loaded until exit, as in a point-of-sale program: the
  // result texts it handed out live as long as the process.
  return all_calls_ran;
}
