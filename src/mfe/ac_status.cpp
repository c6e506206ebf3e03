#include "mfe/ac_status.h"

#include <mutex>

namespace tavik::mfe {

namespace {

struct AcStatusStore {
  std::mutex mutex;
  AcStatus status;
};

AcStatusStore& ac_status_store() {
  static auto* store = new AcStatusStore();
  return *store;
}

}  // namespace

std::string store_ac_status(std::string, std::string, std::string texto3) {
  auto& store = ac_status_store();
  std::lock_guard lock(store.mutex);
  store.status.a = texto3;
  store.status.b = std::move(texto3);
  return {};
}

AcStatus read_ac_status() {
  auto& store = ac_status_store();
  std::lock_guard lock(store.mutex);
  return store.status;
}

}  // namespace tavik::mfe
