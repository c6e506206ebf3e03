#include "platform/os_info.h"

#include <sys/utsname.h>

#include <fstream>
#include <map>

namespace tavik::platform {

namespace {

// KEY=value lines of /etc/os-release, quotes removed.
std::map<std::string, std::string> read_os_release() {
  std::map<std::string, std::string> values;
  std::ifstream file("/etc/os-release");
  std::string line;
  while (std::getline(file, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string value = line.substr(equals + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    values[line.substr(0, equals)] = value;
  }
  return values;
}

}  // namespace

OsInfo read_os_info() {
  OsInfo info;
  const auto release = read_os_release();
  const auto get = [&](const char* key) -> std::optional<std::string> {
    const auto it = release.find(key);
    if (it == release.end() || it->second.empty()) return std::nullopt;
    return it->second;
  };
  info.type_name = get("NAME").value_or("Linux");
  info.version = get("VERSION_ID").value_or("Unknown");
  info.edition = get("VARIANT");
  info.codename = get("VERSION_CODENAME");
  utsname names{};
  if (uname(&names) == 0) {
    const std::string machine = names.machine;
    info.architecture = machine;
    if (machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" || machine == "s390x" ||
        machine == "riscv64") {
      info.bitness = Bitness::X64;
    } else if (machine == "i386" || machine == "i686" || machine.starts_with("arm")) {
      info.bitness = Bitness::X32;
    }
  }
  return info;
}

}  // namespace tavik::platform
