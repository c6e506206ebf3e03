#pragma once
// Session numbers handed out and in use, and the bounded store that keeps the
// result texts whose pointers the exported functions return.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavik::dllsat {

inline constexpr std::size_t result_slots = 100;
inline constexpr std::int32_t first_generated_session = 1000;
inline constexpr std::int32_t last_generated_session = 999999;

// A fresh number in 1000..999999 that is neither issued-and-unused nor carried
// by a result slot.
std::int32_t generate_session_number();

// A call with this number has begun: it takes a result slot (evicting the
// oldest beyond 100) and the number leaves the issued list.
void register_session(std::int32_t number);

// Stores a copy of text under the oldest slot that carries number (creating a
// slot when none does) and returns the stored NUL-terminated copy. A NUL byte
// inside the text would cut it short for a C caller, so each one is replaced
// by U+FFFD and the caller sees the whole answer.
const char* store_result_text(std::int32_t number, std::string_view text);

}  // namespace tavik::dllsat
