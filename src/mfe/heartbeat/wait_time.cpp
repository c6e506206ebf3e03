#include "mfe/heartbeat/wait_time.h"

#include <charconv>

#include "mfe/logging.h"

namespace tavik::mfe::heartbeat {

std::optional<std::uint64_t> parse_unsigned_decimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  // from_chars alone would accept a prefix ("30x") and a sign after "+".
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

kovo_base::Result<std::uint64_t> heartbeat_wait_seconds(const codec::MfeBody& answer) {
  using kovo_base::ConnectionError;
  using kovo_base::Result;
  const auto& contents = answer.fields.contents;
  Result<std::string_view> field = std::unexpected(ConnectionError::protocol());
  if (!contents.empty()) field = std::string_view(contents.front());
  field = log_and_pass_on(std::move(field), log::Level::Warn, "Failed to get HB wait time field");
  if (!field) return std::unexpected(std::move(field.error()));

  const auto seconds = parse_unsigned_decimal(*field);
  Result<std::uint64_t> parsed = std::unexpected(ConnectionError::protocol());
  if (seconds) parsed = *seconds;
  return log_and_pass_on(std::move(parsed), log::Level::Warn, "Failed to parse HB wait time");
}

}  // namespace tavik::mfe::heartbeat
