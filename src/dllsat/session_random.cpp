#include "dllsat/session_random.h"

#include <array>
#include <cstring>
#include <limits>

#include "platform/random.h"

namespace tavik::dllsat {

namespace {

// ChaCha20 keystream keyed once per thread from the OS random source: a
// stream cipher's output is a cryptographically strong generator, and keeping
// it per thread needs no lock.
class ChaChaGenerator {
 public:
  ChaChaGenerator() {
    std::array<std::uint8_t, 48> seed{};
    platform::os_random_bytes(seed);
    for (int i = 0; i < 8; ++i) std::memcpy(&key_[i], seed.data() + 4 * i, 4);
    for (int i = 0; i < 4; ++i) std::memcpy(&nonce_[i], seed.data() + 32 + 4 * i, 4);
  }

  std::uint32_t next() {
    if (used_ == block_.size()) refill();
    return block_[used_++];
  }

 private:
  static std::uint32_t rotl(std::uint32_t v, int c) { return (v << c) | (v >> (32 - c)); }
  static void quarter(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d) {
    a += b; d ^= a; d = rotl(d, 16);
    c += d; b ^= c; b = rotl(b, 12);
    a += b; d ^= a; d = rotl(d, 8);
    c += d; b ^= c; b = rotl(b, 7);
  }

  void refill() {
    std::array<std::uint32_t, 16> state{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
    for (int i = 0; i < 8; ++i) state[4 + i] = key_[i];
    state[12] = static_cast<std::uint32_t>(counter_);
    state[13] = static_cast<std::uint32_t>(counter_ >> 32) ^ nonce_[0];
    state[14] = nonce_[1];
    state[15] = nonce_[2] ^ nonce_[3];
    ++counter_;
    auto x = state;
    for (int round = 0; round < 10; ++round) {
      quarter(x[0], x[4], x[8], x[12]);
      quarter(x[1], x[5], x[9], x[13]);
      quarter(x[2], x[6], x[10], x[14]);
      quarter(x[3], x[7], x[11], x[15]);
      quarter(x[0], x[5], x[10], x[15]);
      quarter(x[1], x[6], x[11], x[12]);
      quarter(x[2], x[7], x[8], x[13]);
      quarter(x[3], x[4], x[9], x[14]);
    }
    for (std::size_t i = 0; i < 16; ++i) block_[i] = x[i] + state[i];
    used_ = 0;
  }

  std::array<std::uint32_t, 8> key_{};
  std::array<std::uint32_t, 4> nonce_{};
  std::uint64_t counter_ = 0;
  std::array<std::uint32_t, 16> block_{};
  std::size_t used_ = block_.size();
};

}  // namespace

std::int32_t draw_uniform(std::int32_t low, std::int32_t high) {
  thread_local ChaChaGenerator generator;
  const std::uint32_t span = static_cast<std::uint32_t>(high - low) + 1;
  // Reject the top partial bucket so that every value is equally likely.
  const std::uint32_t limit = std::numeric_limits<std::uint32_t>::max() - (std::numeric_limits<std::uint32_t>::max() % span + 1) % span;
  std::uint32_t value;
  do {
    value = generator.next();
  } while (value > limit);
  return low + static_cast<std::int32_t>(value % span);
}

}  // namespace tavik::dllsat
