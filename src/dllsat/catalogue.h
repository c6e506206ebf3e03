#pragma once
// The sixteen SAT functions: code, name on the wire, waiting time per read.
#include <cstdint>
#include <span>
#include <string_view>

#include "codec/frame.h"

namespace tavik::dllsat {

struct SatFunctionEntry {
  codec::SatFunction function;
  std::string_view name;
  std::uint32_t wait_seconds;
};

// Every function once, in code order.
std::span<const SatFunctionEntry> sat_catalogue();

const SatFunctionEntry& catalogue_entry(codec::SatFunction function);

// Time-out of each read while waiting for this function's answer.
std::uint64_t response_timeout(codec::SatFunction function);

std::string_view function_name(codec::SatFunction function);

}  // namespace tavik::dllsat
