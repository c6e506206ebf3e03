#include "e2e_tcp/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
// The child ends with _exit, which skips the point where ThreadSanitizer
// turns the reports it printed into a failing exit status: stop at the first
// report instead. (AddressSanitizer and UndefinedBehaviorSanitizer already stop
// there in this build.)
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options() { return "halt_on_error=1"; }
#endif

namespace tavik::e2e {

void run_in_child(const std::function<void()>& body, std::chrono::seconds limit) {
  std::fflush(nullptr);  // nothing buffered may be printed twice
  const pid_t child = ::fork();
  ASSERT_GE(child, 0) << "fork failed";
  if (child == 0) {
    body();
    std::fflush(nullptr);
    // No exit handlers: the library and the simulators are left as they are.
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
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
      << (WIFSIGNALED(status) ? "child killed by signal " + std::to_string(WTERMSIG(status))
                              : "child ended with status " + std::to_string(WEXITSTATUS(status)) +
                                    " after the failures or sanitizer report above");
}

}  // namespace tavik::e2e
