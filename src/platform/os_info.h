#pragma once
// What the running operating system says about itself, for the start-up log
// line and the HeartBeatPDV message.
#include <optional>
#include <string>
#include <string_view>

namespace tavik::platform {

enum class Bitness { X32, X64, Unknown };

struct OsInfo {
  std::string type_name;
  std::string version;
  std::optional<std::string> edition;
  std::optional<std::string> codename;
  Bitness bitness = Bitness::Unknown;
  std::optional<std::string> architecture;
};

OsInfo read_os_info();

// "32-bit", "64-bit" or "unknown bitness".
std::string_view bitness_text(Bitness bitness);

// "<type> <version>[ <edition>][ <codename>] (<bitness>[ <architecture>])"
std::string os_description(const OsInfo& info);

}  // namespace tavik::platform
