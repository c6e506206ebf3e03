#pragma once
// The cryptographically strong source of session-number candidates.
#include <cstdint>

namespace tavik::dllsat {

// A uniform draw from [low, high] without modulo bias. Every draw comes
// fresh from OpenSSL's OS-seeded generator, which keeps per-thread state
// and reseeds itself in a forked child, so a host that forks never gets the
// same numbers in parent and child.
std::int32_t draw_uniform(std::int32_t low, std::int32_t high);

}  // namespace tavik::dllsat
