#include "error_result.h"

#include <array>
#include <string_view>

namespace satcli {

namespace {

// The texts the library answers with in place of a module's answer.
constexpr std::array<std::string_view, 3> bare_error_texts = {
    "Argumento eh NULL",
    "Argumento nao eh UTF-8 valido",
    "timeout",
};

// The library's own code for an unreachable module; a module's result codes
// have five digits, so no module answer carries it.
constexpr std::string_view unreachable_code = "9999";

bool is_session_number(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool is_error_text(std::string_view text) {
  for (const std::string_view bare : bare_error_texts) {
    if (text == bare) return true;
  }
  const std::size_t first = text.find('|');
  if (first == std::string_view::npos || !is_session_number(text.substr(0, first))) return false;
  const std::string_view rest = text.substr(first + 1);
  return rest.substr(0, rest.find('|')) == unreachable_code;
}

}  // namespace

bool is_error_result(const CallOutcome& outcome) {
  switch (outcome.result) {
    case 't': return !outcome.text || is_error_text(*outcome.text);
    case 'j': return !outcome.text;
    case 'f': return outcome.number != 0;
    default: return false;
  }
}

}  // namespace satcli
