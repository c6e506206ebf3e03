#include "mfe/settings/ini_error.h"

#include <fmt/format.h>

#include "base/debug_text.h"

namespace tavik::mfe {

using kovo_base::debug_optional;
using kovo_base::debug_quoted;

namespace {

const char* syntax_text(IniSyntax kind) {
  switch (kind) {
    case IniSyntax::SectionNotClosed: return "section missing ']'";
    case IniSyntax::SectionNameHasBracket: return "section name contains ']'";
    case IniSyntax::MissingEquals: return "variable assignment missing '='";
  }
  return "variable assignment missing '='";
}

}  // namespace

IniError IniError::syntax(IniSyntax kind) { return IniError(true, syntax_text(kind)); }

IniError IniError::custom(std::string message) { return IniError(false, std::move(message)); }

std::string IniError::display() const {
  return syntax_ ? fmt::format("INI syntax error: {}", message_) : message_;
}

std::string IniError::debug() const {
  return fmt::format("{}({})", syntax_ ? "Syntax" : "Custom", debug_quoted(message_));
}

kovo_base::ConnectionError to_connection_error(const IniError& error) {
  return kovo_base::ConnectionError::ini_parse(error.debug());
}

}  // namespace tavik::mfe
