// How long a host waits in dlopen for libtaviksat.so (its load hook reads the
// settings and starts the library) and in dlclose, each in a fresh process,
// next to loading a plain system library (zlib) the same way. Median of
// several runs. Output: "name value unit baseline ratio goal verdict".
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "figure_line.h"

namespace {

using Clock = std::chrono::steady_clock;

struct LoadTimes {
  double load_ms = 0;
  double unload_ms = 0;
};

// Loads and unloads `path` in a child process; nothing when that failed.
bool time_in_child(const std::string& path, LoadTimes& out) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    const auto start = Clock::now();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto loaded = Clock::now();
    if (handle == nullptr) _exit(3);
    ::dlclose(handle);
    const auto unloaded = Clock::now();
    const LoadTimes times{std::chrono::duration<double, std::milli>(loaded - start).count(),
                          std::chrono::duration<double, std::milli>(unloaded - loaded).count()};
    const bool written = ::write(fds[1], &times, sizeof times) == static_cast<ssize_t>(sizeof times);
    _exit(written ? 0 : 4);
  }
  ::close(fds[1]);
  const bool read_all = ::read(fds[0], &out, sizeof out) == static_cast<ssize_t>(sizeof out);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return read_all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string library = argc > 1 ? argv[1] : TAVIK_SOAK_DEFAULT_LIBRARY;
  constexpr int kRuns = 15;
  // No settings file and no log: the load a host gets out of the box.
  const auto dir = std::filesystem::temp_directory_path() / ("tavik-load-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  if (::chdir(dir.c_str()) != 0) return 2;
  ::unsetenv("LOG_LEVEL_MFE");
  ::unsetenv("LOG_FILE_MFE");

  std::vector<double> load, unload, plain_load, plain_unload;
  for (int i = 0; i < kRuns; ++i) {
    LoadTimes times;
    if (!time_in_child(library, times)) {
      std::fprintf(stderr, "load_time_bench: could not load %s\n", library.c_str());
      return 2;
    }
    load.push_back(times.load_ms);
    unload.push_back(times.unload_ms);
    if (!time_in_child("libz.so.1", times)) {
      std::fprintf(stderr, "load_time_bench: could not load libz.so.1\n");
      return 2;
    }
    plain_load.push_back(times.load_ms);
    plain_unload.push_back(times.unload_ms);
  }
  std::filesystem::remove_all(dir);
  // A host loads the library at start-up; a few tens of milliseconds go unnoticed.
  const double load_ms = median(load);
  tavik::soak::print_figure("library_load", load_ms, "ms", median(plain_load), "<=50ms", load_ms <= 50.0);
  const double unload_ms = median(unload);
  tavik::soak::print_figure("library_unload", unload_ms, "ms", median(plain_unload), "<=50ms", unload_ms <= 50.0);
  return 0;
}
