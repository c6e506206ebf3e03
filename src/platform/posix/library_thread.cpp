#include "platform/library_thread.h"

namespace tavik::platform {

std::thread start_library_thread(std::function<void()> body) { return std::thread(std::move(body)); }

}  // namespace tavik::platform
