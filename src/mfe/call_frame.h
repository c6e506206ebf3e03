#pragma once
// The frame every text-returning export follows: convert each text argument,
// run the operation, turn an error into its result text, store the text under
// the session number and return the stored pointer. Nothing escapes it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "kovo_base/connection_error.h"
#include "mfe/export_calls.h"

namespace tavik::mfe {

// All arguments are converted, in order; the first failing one decides the
// error.
template <std::size_t N>
kovo_base::Result<std::array<std::string, N>> convert_text_arguments(const std::array<const char*, N>& arguments);

// Error to text, store, return the stored pointer. Never throws.
const char* finish_text_call(std::int32_t session, const kovo_base::Result<std::string>& outcome) noexcept;

// What a call answers when something unexpected (such as exhausted memory)
// stopped it: the generic failure text, stored if possible.
const char* unexpected_failure_text(std::int32_t session) noexcept;

template <std::size_t N, class Operation>
const char* text_export(std::int32_t session, const std::array<const char*, N>& arguments,
                        Operation&& operation) noexcept {
  const ExportCall call;
  try {
    auto texts = convert_text_arguments(arguments);
    if (!texts) return finish_text_call(session, std::unexpected(texts.error()));
    return finish_text_call(session, operation(std::move(*texts)));
  } catch (...) {
    return unexpected_failure_text(session);
  }
}

// For the exports without a result text: run, swallow anything thrown.
template <class Operation, class Fallback>
auto guarded(Operation&& operation, Fallback fallback) noexcept -> decltype(operation()) {
  const ExportCall call;
  try {
    return operation();
  } catch (...) {
    return fallback;
  }
}

template <class Operation>
void guarded(Operation&& operation) noexcept {
  const ExportCall call;
  try {
    operation();
  } catch (...) {
  }
}

std::string decimal(int value);

}  // namespace tavik::mfe

#include "mfe/call_frame_impl.h"
