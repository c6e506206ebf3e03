#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavik::platform {

// Fills out from the operating system's random source (through OpenSSL's
// OS-seeded generator). Never fails: without OpenSSL's source it falls back
// to std::random_device.
void os_random_bytes(std::span<std::uint8_t> out);

}  // namespace tavik::platform
