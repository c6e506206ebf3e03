#pragma once
// One random export call of the soak and the check of what it returned.
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "library.h"

namespace tavik::soak {

enum class Outcome : std::uint8_t {
  Answer,     // the device's answer, carrying the call's own session number
  ErrorText,  // one of the library's error results for this call
  Mismatch,   // anything else: another call's answer, or a malformed result
};

struct CallResult {
  std::string_view name;
  Outcome outcome = Outcome::Answer;
  std::chrono::steady_clock::duration took{};
  std::chrono::steady_clock::duration allowed{};
  std::string text;  // copied at once: the library recycles its result texts
  bool exchange = false;  // whether the call makes a device exchange
  std::int32_t session = 0;
  std::chrono::steady_clock::time_point started{};
};

// Which result texts a call with session `session` may return. An MFE
// answer of the simulated module carries the session number and the code
// `success_code` of the message.
Outcome classify_sat_result(std::int32_t session, std::string_view text);
Outcome classify_mfe_result(std::int32_t session, std::string_view success_code, std::string_view text);

// callers: how many threads make calls at once (the heartbeat comes on top).
CallResult make_random_call(const Exports& exports, std::mt19937& random, unsigned callers);

}  // namespace tavik::soak
