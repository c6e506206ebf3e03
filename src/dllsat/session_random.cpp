#include "dllsat/session_random.h"

#include <array>
#include <cstring>
#include <limits>

#include "platform/random.h"

namespace tavik::dllsat {

namespace {

// Nothing is kept in the library between draws: state of our own would be
// copied by fork() and give parent and child the same sequence.
std::uint32_t fresh_word() {
  std::array<std::uint8_t, 4> bytes{};
  platform::os_random_bytes(bytes);
  std::uint32_t word = 0;
  std::memcpy(&word, bytes.data(), bytes.size());
  return word;
}

}  // namespace

std::int32_t draw_uniform(std::int32_t low, std::int32_t high) {
  // Unsigned arithmetic: wraps where signed would overflow on wide ranges.
  const std::uint32_t base = static_cast<std::uint32_t>(low);
  const std::uint32_t span = static_cast<std::uint32_t>(high) - base + 1;
  // span 0 stands for all 2^32 values: every word is a fair draw.
  if (span == 0) return static_cast<std::int32_t>(fresh_word());
  // Words above the largest multiple of span are drawn again, so that every
  // residue is equally likely.
  constexpr std::uint32_t max = std::numeric_limits<std::uint32_t>::max();
  const std::uint32_t limit = max - (max % span + 1) % span;
  std::uint32_t value;
  do {
    value = fresh_word();
  } while (value > limit);
  return static_cast<std::int32_t>(base + value % span);
}

}  // namespace tavik::dllsat
