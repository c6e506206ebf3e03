#include "dllsat/sat_compression.h"

#include <atomic>

#include "log/log.h"

namespace tavik::dllsat {

namespace {
std::atomic<bool> sat_compression{true};
}

bool sat_compression_enabled() { return sat_compression.load(std::memory_order_relaxed); }

void enable_sat_compression() {
  LOG_INFO("dllsat::protocol", "Enabling compression");
  sat_compression.store(true, std::memory_order_relaxed);
}

void disable_sat_compression() {
  LOG_INFO("dllsat::protocol", "Disabling compression");
  sat_compression.store(false, std::memory_order_relaxed);
}

}  // namespace tavik::dllsat
