#pragma once
// Per-thread, cryptographically strong source of session-number candidates.
#include <cstdint>

namespace tavik::dllsat {

// A uniform draw from [low, high] without modulo bias.
std::int32_t draw_uniform(std::int32_t low, std::int32_t high);

}  // namespace tavik::dllsat
