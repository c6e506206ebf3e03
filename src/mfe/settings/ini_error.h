#pragma once
// Why a settings file does not parse: a line that breaks the INI syntax, or
// a value or layout that the settings record cannot take.
#include <cstdint>
#include <string>

#include "kovo_base/connection_error.h"

namespace tavik::mfe {

enum class IniSyntax : std::uint8_t { SectionNotClosed, SectionNameHasBracket, MissingEquals };

class IniError {
 public:
  static IniError syntax(IniSyntax kind);
  // message: the complete text, e.g. "duplicate field `hub`".
  static IniError custom(std::string message);

  bool is_syntax() const { return syntax_; }
  // "INI syntax error: section missing ']'", or the custom message.
  std::string display() const;
  // Syntax("section missing ']'") or Custom("duplicate field `hub`").
  std::string debug() const;

  friend bool operator==(const IniError&, const IniError&) = default;

 private:
  IniError(bool syntax, std::string message) : syntax_(syntax), message_(std::move(message)) {}
  bool syntax_;
  std::string message_;
};

// The library error that carries it: IniParse with the debug rendering.
kovo_base::ConnectionError to_connection_error(const IniError& error);

}  // namespace tavik::mfe
