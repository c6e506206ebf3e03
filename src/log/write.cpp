#include "log/log.h"
#include "log/logger_registry.h"

namespace tavik::log {

void write(Level level, std::string_view target, std::string_view message) {
  LoggerRegistry::instance().write(level, target, message);
}

}  // namespace tavik::log
