#include "platform/os_info.h"

namespace tavik::platform {

std::string_view bitness_text(Bitness bitness) {
  switch (bitness) {
    case Bitness::X32: return "32-bit";
    case Bitness::X64: return "64-bit";
    case Bitness::Unknown: return "unknown bitness";
  }
  return "unknown bitness";
}

std::string os_description(const OsInfo& info) {
  std::string text = info.type_name + " " + info.version;
  if (info.edition) text += " " + *info.edition;
  if (info.codename) text += " " + *info.codename;
  text += " (";
  text += bitness_text(info.bitness);
  if (info.architecture) text += " " + *info.architecture;
  text += ")";
  return text;
}

}  // namespace tavik::platform
