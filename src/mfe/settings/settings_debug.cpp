#include <fmt/format.h>

#include "base/debug_text.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe {

using kovo_base::debug_optional;
using kovo_base::debug_quoted;

std::string debug(ConnectionMethod method) { return method == ConnectionMethod::Network ? "Network" : "Usb"; }

std::string debug(const Logging& logging) {
  return fmt::format("Logging {{ level: {}, file: {} }}", debug_optional(logging.level), debug_optional(logging.file));
}

std::string debug(const Connection& connection) {
  return fmt::format("Connection {{ continuous: {}, method: {}, hub: {}, port: {}, serial: {}, ip: {} }}",
                     connection.continuous, debug(connection.method), debug_optional(connection.hub),
                     debug_optional(connection.port), debug_optional(connection.serial),
                     debug_optional(connection.ip));
}

std::string debug(const Protocol& protocol) {
  return fmt::format("Protocol {{ compression: {} }}", protocol.compression);
}

std::string debug(const Settings& settings) {
  return fmt::format("Settings {{ logging: {}, connection: {}, protocol: {} }}", debug(settings.logging),
                     debug(settings.connection), debug(settings.protocol));
}

std::string debug(const kovo_base::Result<Settings>& result) {
  if (result) return fmt::format("Ok({})", debug(*result));
  return fmt::format("Err({})", result.error().debug());
}

}  // namespace tavik::mfe
