#include "soak_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tavik::soak {
namespace {

void print_usage() {
  std::fprintf(stderr,
               "usage: tavik-soak [--calls N] [--threads N] [--simulators N] [--warmup N] [--seed N]\n"
               "                  [--faults PERCENT] [--min-answered PERCENT] [--library PATH] [--log FILE] [--long]\n"
               "  --long   100000 calls: the memory-growth run (about 20 minutes on 4 threads)\n");
}

bool read_number(const char* text, std::uint64_t& out) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0') return false;
  out = value;
  return true;
}

}  // namespace

std::optional<SoakOptions> parse_soak_options(int argc, char** argv) {
  SoakOptions options;
  options.library = TAVIK_SOAK_DEFAULT_LIBRARY;
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag == "--long") {
      options.calls = 100000;
      continue;
    }
    if (flag == "--help" || i + 1 >= argc) {
      print_usage();
      return std::nullopt;
    }
    const char* value = argv[++i];
    std::uint64_t number = 0;
    const bool numeric = read_number(value, number);
    if (flag == "--library") {
      options.library = value;
    } else if (flag == "--log") {
      options.log_file = value;
    } else if (flag == "--calls" && numeric && number > 0) {
      options.calls = number;
    } else if (flag == "--threads" && numeric && number > 0 && number <= 64) {
      options.threads = static_cast<unsigned>(number);
    } else if (flag == "--simulators" && numeric && number > 0 && number <= 20) {
      options.simulators = static_cast<unsigned>(number);
    } else if (flag == "--warmup" && numeric) {
      options.warmup_calls = number;
    } else if (flag == "--seed" && numeric) {
      options.seed = static_cast<std::uint32_t>(number);
    } else if (flag == "--faults" && numeric && number <= 100) {
      options.fault_percent = static_cast<unsigned>(number);
    } else if (flag == "--min-answered" && numeric && number <= 100) {
      options.minimum_answered_percent = static_cast<unsigned>(number);
    } else {
      print_usage();
      return std::nullopt;
    }
  }
  if (options.warmup_calls == 0) options.warmup_calls = std::max<std::uint64_t>(500, options.calls / 10);
  if (options.warmup_calls >= options.calls) options.warmup_calls = options.calls / 2;
  return options;
}

}  // namespace tavik::soak
