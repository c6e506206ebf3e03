#pragma once
// The parsed settings file: read once at load, applied and dropped. Field
// names are the file's key names; a section the file lacks keeps defaults.
#include <cstdint>
#include <optional>
#include <string>

#include "kovo_base/connection_error.h"

namespace tavik::mfe {

enum class ConnectionMethod : std::uint8_t { Usb, Network };

struct Logging {
  std::optional<std::string> level;
  std::optional<std::string> file;
  friend bool operator==(const Logging&, const Logging&) = default;
};

struct Connection {
  bool continuous = true;
  ConnectionMethod method = ConnectionMethod::Usb;
  std::optional<std::uint8_t> hub;
  std::optional<std::uint8_t> port;
  std::optional<std::string> serial;
  std::optional<std::string> ip;
  friend bool operator==(const Connection&, const Connection&) = default;
};

struct Protocol {
  bool compression = false;
  friend bool operator==(const Protocol&, const Protocol&) = default;
};

struct Settings {
  Logging logging;
  Connection connection;
  Protocol protocol;
  friend bool operator==(const Settings&, const Settings&) = default;
};

// Debug renderings, as the start-up Trace line shows them:
// Settings { logging: Logging { level: None, file: Some("a.log") }, ... }
std::string debug(ConnectionMethod method);
std::string debug(const Logging& logging);
std::string debug(const Connection& connection);
std::string debug(const Protocol& protocol);
std::string debug(const Settings& settings);
// Ok(<settings>) or Err(<error>), the form of "Settings load result: {}".
std::string debug(const kovo_base::Result<Settings>& result);

}  // namespace tavik::mfe
