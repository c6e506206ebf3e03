#pragma once
// A failed invariant stops the fuzzer with a crash that it reports.
#include <cstdlib>

namespace tavik::fuzzing {

inline void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace tavik::fuzzing
