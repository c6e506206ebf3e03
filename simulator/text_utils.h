#pragma once
// Small text helpers of the simulated device: base64, decimal checks,
// device-clock formats.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::simulator {

// Standard alphabet, "=" padding, one line.
std::string base64_encode(std::string_view bytes);
bool is_base64(std::string_view text);

bool all_digits(std::string_view text);
// A decimal int with an optional sign, nothing else.
std::optional<std::int64_t> parse_integer(std::string_view text);
// Zero-padded decimal of the given width.
std::string zero_padded(std::uint64_t value, int width);

// AAAAMMDDHHMMSS and AAAAMMDD of a moment (UTC is the device clock).
std::string date_time_text(std::chrono::system_clock::time_point at);
std::string date_text(std::chrono::system_clock::time_point at);

// Amounts in cents written with "." and two decimals: 200 -> "2.00".
std::string amount_text(std::int64_t cents);

}  // namespace tavik::simulator
