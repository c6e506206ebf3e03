#include "mfe/call_frame.h"

#include <fmt/format.h>

#include "dllsat/session_manager.h"

namespace tavik::mfe {

const char* finish_text_call(std::int32_t session, const kovo_base::Result<std::string>& outcome) noexcept {
  try {
    if (outcome) return dllsat::store_result_text(session, *outcome);
    return dllsat::store_result_text(session, dllsat::error_result_text(outcome.error(), session));
  } catch (...) {
    return unexpected_failure_text(session);
  }
}

const char* unexpected_failure_text(std::int32_t session) noexcept {
  static constexpr char fallback[] = "timeout";
  try {
    return dllsat::store_result_text(session, fallback);
  } catch (...) {
    // Not even the store could take it; a static text is always valid.
    return fallback;
  }
}

std::string decimal(int value) { return fmt::format("{}", value); }

}  // namespace tavik::mfe
