#include "kovo_base/connection/openers.h"

#include <array>
#include <mutex>

namespace tavik::kovo_base::connection {
namespace {

struct Openers {
  std::mutex lock;
  std::array<Opener, 2> by_kind;
};

Openers& openers() {
  // Never destroyed, like the slot: openers may run on threads that outlive
  // the exit routines.
  static auto* registry = new Openers();
  return *registry;
}

std::size_t index_of(HandleKind kind) { return kind == HandleKind::Usb ? 0 : 1; }

}  // namespace

void set_opener(HandleKind kind, Opener opener) {
  Openers& registry = openers();
  std::lock_guard lock(registry.lock);
  registry.by_kind[index_of(kind)] = std::move(opener);
}

Result<Handle> open_handle(HandleKind kind) {
  Opener opener;
  {
    Openers& registry = openers();
    std::lock_guard lock(registry.lock);
    opener = registry.by_kind[index_of(kind)];
  }
  // Opening may take long (device discovery); it runs outside the registry lock.
  if (!opener) return std::unexpected(ConnectionError::device_not_found());
  return opener();
}

}  // namespace tavik::kovo_base::connection
