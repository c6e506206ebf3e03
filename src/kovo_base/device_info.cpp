#include "kovo_base/device_info.h"

#include <cstdlib>
#include <cstring>

#include <fmt/format.h>

namespace tavik::kovo_base {

std::string json_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string to_json(const DeviceInfo& info) {
  std::string out = "{\"model\":";
  out += json_string(fmt::format("{}({})", info.transport == Transport::Usb ? "Usb" : "Tcp", name_of(info.model)));
  if (info.bus) out += fmt::format(",\"bus\":{}", static_cast<unsigned>(*info.bus));
  if (info.port) out += fmt::format(",\"port\":{}", static_cast<unsigned>(*info.port));
  if (info.ip) out += ",\"ip\":" + json_string(*info.ip);
  if (info.serial) out += ",\"serial\":" + json_string(*info.serial);
  out += '}';
  return out;
}

std::string to_json(const std::vector<DeviceInfo>& infos) {
  std::string out = "[";
  for (std::size_t i = 0; i < infos.size(); ++i) {
    if (i > 0) out += ',';
    out += to_json(infos[i]);
  }
  out += ']';
  return out;
}

const char* new_c_text(const std::string& text) {
  // malloc, so a host that wants to release the text can call free().
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace tavik::kovo_base
