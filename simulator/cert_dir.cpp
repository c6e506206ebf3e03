#include "simulator/cert_dir.h"

#include <filesystem>
#include <system_error>

#include "simulator/platform/executable.h"

namespace tavik::simulator {

namespace {
namespace fs = std::filesystem;

const fs::path kBuildLayout = fs::path("certs") / "development-only";
const fs::path kInstalledLayout = fs::path("share") / "tavik-simulator" / "certs" / "development-only";

bool holds_certificates(const fs::path& dir) {
  std::error_code error;
  return fs::is_regular_file(dir / "server-cert.pem", error);
}
}  // namespace

std::string default_cert_dir() {
  if (const auto program = platform::executable_path()) {
    for (fs::path dir = program->parent_path(); !dir.empty(); dir = dir.parent_path()) {
      for (const auto& layout : {kBuildLayout, kInstalledLayout}) {
        if (holds_certificates(dir / layout)) return (dir / layout).string();
      }
      if (dir == dir.root_path()) break;
    }
  }
  return kBuildLayout.string();
}

}  // namespace tavik::simulator
