// Linux with glibc: /proc/self/statm (pages) and mallinfo2.
#include "resident_memory.h"

#include <malloc.h>
#include <unistd.h>

#include <fstream>

namespace tavik::soak {

std::uint64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

std::uint64_t heap_in_use_bytes() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace tavik::soak
