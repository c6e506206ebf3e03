#include <array>

#include "codec/frame.h"

namespace tavik::codec {
namespace {

// The 256-entry table of polynomial 0x1021, most significant bit first.
constexpr std::array<std::uint16_t, 256> make_table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000U) ? ((crc << 1) ^ 0x1021U) : (crc << 1);
    }
    table[byte] = static_cast<std::uint16_t>(crc & 0xFFFFU);
  }
  return table;
}

constexpr auto kTable = make_table();

}  // namespace

std::uint16_t crc16(ByteView bytes, std::uint16_t crc) {
  unsigned value = crc;
  for (const std::uint8_t byte : bytes) {
    value = ((value << 8) ^ kTable[((value >> 8) ^ byte) & 0xFFU]) & 0xFFFFU;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace tavik::codec
