#include "dllsat/utils.h"

#include <cstring>

#include "codec/frame.h"

namespace tavik::dllsat {

using kovo_base::ConnectionError;

kovo_base::Result<std::string> read_c_string_argument(const char* argument) {
  if (argument == nullptr) return std::unexpected(ConnectionError::invalid_null_pointer());
  std::string text(argument, std::strlen(argument));
  if (auto error = kovo_base::check_utf8(text)) return std::unexpected(ConnectionError::utf8(*error));
  return text;
}

std::string error_result_text(const ConnectionError& error, std::int32_t session) {
  switch (error.kind()) {
    case ConnectionError::Kind::DeviceNotFound:
      return codec::format_session_number(session) + "|9999|SAT Desconectado";
    case ConnectionError::Kind::InvalidNullPointer:
      return "Argumento eh NULL";
    case ConnectionError::Kind::Utf8:
      return "Argumento nao eh UTF-8 valido";
    default:
      return "timeout";
  }
}

}  // namespace tavik::dllsat
