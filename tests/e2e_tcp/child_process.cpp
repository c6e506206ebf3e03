#include "e2e_tcp/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#if defined(__SANITIZE_THREAD__)
// The child ends with _exit, which skips the point where ThreadSanitizer
// turns the reports it printed into a failing exit status: stop at the first
// report instead. (AddressSanitizer and UndefinedBehaviorSanitizer already stop
// there in this build.)
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options() { return "halt_on_error=1"; }
#endif

namespace tavik::e2e {

namespace {

// The child ends with _exit, before LeakSanitizer's check at exit would run:
// it runs here instead, with the library still loaded, so that the
// library's process-wide state is reachable and what it lost on the network
// path is not. The JSON texts the *AsJson exports hand over are freed by
// the tests (json_text), so nothing needs to be let through.
bool leaked() {
#if defined(__SANITIZE_ADDRESS__)
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

// Exit status of a child that leaked (its report is on stderr above).
constexpr int kLeakStatus = 23;

}  // namespace

void run_in_child(const std::function<void()>& body, std::chrono::seconds limit, LeakCheck leak_check) {
  std::fflush(nullptr);  // nothing buffered may be printed twice
  const pid_t child = ::fork();
  ASSERT_GE(child, 0) << "fork failed";
  if (child == 0) {
    body();
    std::fflush(nullptr);
    const bool failed = ::testing::Test::HasFailure();
    const bool leaks = leak_check == LeakCheck::AtEnd && leaked();
    // No exit handlers: the library and the simulators are left as they are.
    ::_exit(failed ? 1 : leaks ? kLeakStatus : 0);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      FAIL() << "the scenario did not end within " << limit.count() << " s";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << (WIFSIGNALED(status)                                   ? "child killed by signal " + std::to_string(WTERMSIG(status))
          : WIFEXITED(status) && WEXITSTATUS(status) == kLeakStatus ? std::string("child leaked memory: see the report above")
                                                                    : "child ended with status " +
                                                                          std::to_string(WEXITSTATUS(status)) +
                                                                          " after the failures or sanitizer report above");
}

}  // namespace tavik::e2e
