#include "platform/random.h"

#include <random>

#include <openssl/rand.h>

namespace tavik::platform {

void os_random_bytes(std::span<std::uint8_t> out) {
  if (out.empty()) return;
  if (RAND_bytes(out.data(), static_cast<int>(out.size())) == 1) return;
  std::random_device device;
  for (auto& byte : out) byte = static_cast<std::uint8_t>(device());
}

}  // namespace tavik::platform
