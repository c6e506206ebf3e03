#include "kovo_base/connection/modes.h"

#include <atomic>
#include <mutex>

#include "log/log.h"

namespace tavik::kovo_base::connection {
namespace {

constexpr std::string_view connection_target = "kovo_base::connection";

std::atomic<bool>& continuous_flag() {
  static std::atomic<bool> flag{true};
  return flag;
}

struct NetworkMode {
  std::mutex lock;
  bool network = false;
};

NetworkMode& network_flag() {
  static auto* mode = new NetworkMode();
  return *mode;
}

}  // namespace

bool continuous_mode() { return continuous_flag().load(); }

void enable_continuous_connection() {
  LOG_INFO(connection_target, "Enabling continuous connection");
  continuous_flag().store(true);
}

void disable_continuous_connection() {
  LOG_INFO(connection_target, "Disabling continuous connection");
  continuous_flag().store(false);
}

bool network_mode() {
  NetworkMode& mode = network_flag();
  std::lock_guard lock(mode.lock);
  return mode.network;
}

void set_network_mode() {
  NetworkMode& mode = network_flag();
  std::lock_guard lock(mode.lock);
  mode.network = true;
}

}  // namespace tavik::kovo_base::connection
