#pragma once
// The process's memory, for the growth figures: what is resident, and what
// the heap has handed out (which tells real growth from fragmentation).
#include <cstdint>

namespace tavik::soak {

// Bytes resident now; 0 when the system does not say.
std::uint64_t resident_bytes();
// Bytes allocated from the heap and not yet freed, over all arenas.
std::uint64_t heap_in_use_bytes();

}  // namespace tavik::soak
