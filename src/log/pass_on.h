#pragma once
// The shared body of the layers' log_and_pass_on: logs a failed result at
// Error or Warn level as "<context>: <display> (<debug>)" under the layer's
// target, then hands the result back unchanged. Each layer defines one
// instance with its own target.
#include <expected>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "log/log.h"

namespace tavik::log {

// A function object rather than a function template so that the mfe and
// kovo_base instances never meet in argument-dependent lookup.
class ResultPassOn {
 public:
  explicit constexpr ResultPassOn(std::string_view target) : target_(target) {}

  template <class T, class E>
  const std::expected<T, E>& operator()(const std::expected<T, E>& result, Level level,
                                        std::string_view context) const {
    log_if_failed(result, level, context);
    return result;
  }

  // A temporary result is moved through, so move-only values pass too.
  template <class T, class E>
  std::expected<T, E> operator()(std::expected<T, E>&& result, Level level, std::string_view context) const {
    log_if_failed(result, level, context);
    return std::move(result);
  }

 private:
  template <class T, class E>
  void log_if_failed(const std::expected<T, E>& result, Level level, std::string_view context) const {
    if (result.has_value()) return;
    if (level != Level::Error && level != Level::Warn) return;
    if (!enabled(level)) return;
    const E& error = result.error();
    write(level, target_, fmt::format("{}: {} ({})", context, error.display(), error.debug()));
  }

  std::string_view target_;
};

}  // namespace tavik::log
