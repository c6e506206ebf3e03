#pragma once
// The faults the soak throws at the library, and what each one does to the
// exchange it hits. A new simulator fault joins the soak by a line in the
// table of soak_faults.cpp.
#include <optional>
#include <span>
#include <string_view>

#include "simulator/faults.h"

namespace tavik::soak {

struct SoakFault {
  simulator::Fault fault;
  // Whether the exchange it hits must still give the module's answer (the
  // library copes with it), or may end in one of the library's error texts.
  bool answer_survives;
};

// Only faults that end within the waiting times: none makes a read wait out
// its time-out, so a call over its allowance shows a wait the library should
// not have made.
std::span<const SoakFault> soak_faults();

// The entry for a simulator fault name, if the soak injects it.
std::optional<SoakFault> soak_fault_named(std::string_view name);

}  // namespace tavik::soak
