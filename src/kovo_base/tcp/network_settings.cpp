#include "kovo_base/tcp/network_settings.h"

#include <mutex>

namespace tavik::kovo_base::tcp {
namespace {

struct SettingsSlot {
  std::mutex lock;
  NetworkSettings value;
};

SettingsSlot& slot() {
  static SettingsSlot settings;
  return settings;
}

}  // namespace

NetworkSettings network_settings() {
  SettingsSlot& settings = slot();
  std::lock_guard lock(settings.lock);
  return settings.value;
}

void testing::set_network_settings(NetworkSettings settings) {
  SettingsSlot& current = slot();
  std::lock_guard lock(current.lock);
  current.value = settings;
}

}  // namespace tavik::kovo_base::tcp
