#include "platform/local_time.h"

#include <ctime>

namespace tavik::platform {

std::chrono::system_clock::time_point current_time() { return std::chrono::system_clock::now(); }

std::optional<std::chrono::seconds> local_utc_offset() {
  const std::time_t now = std::time(nullptr);
  if (now == static_cast<std::time_t>(-1)) return std::nullopt;
  ::tzset();
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return std::nullopt;
  return std::chrono::seconds(local.tm_gmtoff);
}

}  // namespace tavik::platform
