#include "log/line_format.h"

#include <array>
#include <iterator>

#include <fmt/format.h>

#include "log/level_text.h"

namespace tavik::log {

namespace {

constexpr std::array<std::string_view, 3> kAllowedTargetPrefixes{"mfe", "dllsat", "kovo_base"};

std::string_view colour_escape(Level level) {
  switch (level) {
    case Level::Error: return "\x1b[31m";  // red
    case Level::Warn: return "\x1b[33m";   // yellow
    case Level::Info: return "\x1b[34m";   // blue
    case Level::Debug: return "\x1b[36m";  // cyan
    case Level::Trace: return "\x1b[37m";  // white
  }
  return "";
}

constexpr std::string_view kColourReset = "\x1b[0m";

void append_timestamp(fmt::memory_buffer& out, std::chrono::system_clock::time_point time,
                      std::chrono::seconds utc_offset) {
  using namespace std::chrono;
  const auto local = floor<milliseconds>(time) + utc_offset;
  const auto day = floor<days>(local);
  const year_month_day date{day};
  const hh_mm_ss clock{local - day};
  fmt::format_to(std::back_inserter(out), "{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", static_cast<int>(date.year()),
                 static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), clock.hours().count(),
                 clock.minutes().count(), clock.seconds().count(), clock.subseconds().count());
}

void append(fmt::memory_buffer& out, std::string_view text) { out.append(text.data(), text.data() + text.size()); }

}  // namespace

bool target_is_allowed(std::string_view target) {
  for (std::string_view prefix : kAllowedTargetPrefixes) {
    if (target.starts_with(prefix)) return true;
  }
  return false;
}

std::string format_line(std::chrono::system_clock::time_point time, std::chrono::seconds utc_offset, bool colour,
                        Level level, std::string_view target, std::string_view message) {
  fmt::memory_buffer out;
  append_timestamp(out, time, utc_offset);
  append(out, " [");
  if (colour) append(out, colour_escape(level));
  append(out, level_name(level));
  if (colour) append(out, kColourReset);
  append(out, "] ");
  if (level == Level::Debug || level == Level::Trace) {
    append(out, target);
    append(out, ": ");
  }
  append(out, message);
  append(out, "\n");
  return fmt::to_string(out);
}

}  // namespace tavik::log
