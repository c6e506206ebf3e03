#include "command_line.h"

namespace satcli {

namespace {

// Options come before the first call; after it every word is a call's name
// or argument, so a text argument may look like an option.
bool take_option(const std::vector<std::string_view>& args, std::size_t& i, CommandLine& line,
                 std::string& fault) {
  const std::string_view arg = args[i];
  if (arg == "--list") {
    line.request = Request::List;
  } else if (arg == "--help" || arg == "-h") {
    line.request = Request::Help;
  } else if (arg == "--fail-on-error") {
    line.fail_on_error = true;
  } else if (arg == "--full") {
    line.full = true;
  } else if (arg == "--lib") {
    if (i + 1 >= args.size()) {
      fault = "--lib needs a path";
    } else {
      line.library = std::string(args[++i]);
    }
  } else {
    fault = "unknown option " + std::string(arg) + " (see satcli --help)";
  }
  return fault.empty();
}

struct Words {
  std::string_view name;
  std::vector<std::string_view> arguments;
};

// Splits the calls at each --; a -- right after the options only ends them.
std::vector<Words> split_calls(const std::vector<std::string_view>& args, std::size_t first) {
  std::vector<Words> calls;
  if (first < args.size() && args[first] == "--") ++first;
  if (first < args.size()) calls.emplace_back();
  bool named = false;
  for (std::size_t i = first; i < args.size(); ++i) {
    if (args[i] == "--") {
      calls.emplace_back();
      named = false;
    } else if (!named) {
      calls.back().name = args[i];
      named = true;
    } else {
      calls.back().arguments.push_back(args[i]);
    }
  }
  return calls;
}

std::string call_place(std::size_t index, std::size_t count) {
  return count > 1 ? "call " + std::to_string(index + 1) + " of " + std::to_string(count) + ": " : std::string();
}

}  // namespace

const ExportSignature* find_export(std::string_view name) {
  for (const auto& signature : exports) {
    if (signature.name == name) return &signature;
  }
  return nullptr;
}

std::expected<CommandLine, std::string> parse_command_line(const std::vector<std::string_view>& args) {
  CommandLine line;
  std::size_t i = 0;
  for (; i < args.size() && args[i].starts_with("-") && args[i] != "--"; ++i) {
    std::string fault;
    if (!take_option(args, i, line, fault)) return std::unexpected(fault);
    if (line.request != Request::Run) return line;
  }
  const std::vector<Words> words = split_calls(args, i);
  if (words.empty()) return std::unexpected("no call given (see satcli --help)");
  for (std::size_t k = 0; k < words.size(); ++k) {
    const std::string place = call_place(k, words.size());
    if (words[k].name.empty()) return std::unexpected(place + "no export name after --");
    Call call{find_export(words[k].name), {}};
    if (call.signature == nullptr) {
      return std::unexpected(place + "no export named '" + std::string(words[k].name) + "' (see satcli --list)");
    }
    for (const std::string_view word : words[k].arguments) {
      call.arguments.push_back(word == "@null" ? Argument{true, {}} : Argument{false, std::string(word)});
    }
    if (auto fault = argument_fault(*call.signature, call.arguments)) return std::unexpected(place + *fault);
    line.calls.push_back(std::move(call));
  }
  return line;
}

}  // namespace satcli
