#include "log/log_testing.h"

#include "log/init_logging.h"
#include "log/log_environment.h"
#include "log/logger_registry.h"

namespace tavik::log::testing {

void CaptureSink::write_line(std::string_view line) {
  if (writers_.fetch_add(1) != 0) overlapped_ = true;
  {
    std::lock_guard guard(lock_);
    text_.append(line);
  }
  writers_.fetch_sub(1);
}

std::string CaptureSink::text() const {
  std::lock_guard guard(lock_);
  return text_;
}

std::vector<std::string> CaptureSink::lines() const {
  const std::string all = text();
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    result.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

std::shared_ptr<CaptureSink> init_logging_for_test(const std::optional<std::string>& level_text,
                                                   const std::optional<std::string>& file_path,
                                                   const FakeEnvironment& env) {
  auto capture = std::make_shared<CaptureSink>();
  const LogEnvironment environment{
      .now = [time = env.time] { return time; },
      .utc_offset = [offset = env.utc_offset] { return offset; },
      .stderr_is_console = [console = env.stderr_is_console] { return console; },
      .stderr_supports_colour = [colour = env.stderr_supports_colour] { return colour; },
      .make_terminal_sink = [capture]() -> std::shared_ptr<LineSink> { return capture; },
  };
  detail::init_logging_in(level_text, file_path, environment);
  return capture;
}

void reset_logging() { LoggerRegistry::instance().reset(); }

}  // namespace tavik::log::testing
