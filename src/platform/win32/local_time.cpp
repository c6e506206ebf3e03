#include "platform/local_time.h"

#include <windows.h>

namespace tavik::platform {

std::chrono::system_clock::time_point current_time() { return std::chrono::system_clock::now(); }

std::optional<std::chrono::seconds> local_utc_offset() {
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  if (which == TIME_ZONE_ID_INVALID) return std::nullopt;
  // Bias is minutes west of UTC; the offset is east positive.
  LONG bias = zone.Bias;
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  return std::chrono::seconds(-static_cast<long long>(bias) * 60);
}

}  // namespace tavik::platform
