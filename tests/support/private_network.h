#pragma once
// Tests that bind the module's fixed ports (TLS 9014, beacons 9015) run in a
// network namespace of their own, with only loopback up, so that they never
// collide with each other or with anything else on the machine.
namespace tavik::testing {

// Moves the calling process into a new network namespace with lo up. Call
// it before any thread starts. False when not permitted (not root).
bool enter_private_network();

// Whether this process runs in a namespace made by enter_private_network().
bool in_private_network();

// Whether a test that cannot get what it needs must fail rather than skip:
// under CI (CI set) a skipped test would leave a green run untested.
bool skipping_is_failure();

}  // namespace tavik::testing

// For the top of a test that binds fixed ports: skips without the namespace,
// and fails under CI.
#define TAVIK_REQUIRE_PRIVATE_NETWORK()                                              \
  do {                                                                               \
    if (!::tavik::testing::in_private_network()) {                                   \
      if (::tavik::testing::skipping_is_failure()) {                                 \
        GTEST_FAIL() << "needs its own network namespace (run as root); CI is set";  \
      }                                                                              \
      GTEST_SKIP() << "needs its own network namespace (run as root)";               \
    }                                                                                \
  } while (0)
