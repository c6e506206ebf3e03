#include "mfe/mfe_compression.h"

#include <atomic>

#include "log/log.h"

namespace tavik::mfe {

namespace {
std::atomic<bool> mfe_compression{true};
}

bool mfe_compression_enabled() { return mfe_compression.load(std::memory_order_relaxed); }

void enable_mfe_compression() {
  LOG_INFO("mfe::protocol", "Enabling compression");
  mfe_compression.store(true, std::memory_order_relaxed);
}

void disable_mfe_compression() {
  LOG_INFO("mfe::protocol", "Disabling compression");
  mfe_compression.store(false, std::memory_order_relaxed);
}

}  // namespace tavik::mfe
