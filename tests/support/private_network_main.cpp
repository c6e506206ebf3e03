// main() for test binaries that bind the fixed module ports: it moves the
// process into its own network namespace first. Where that is not permitted
// the tests that need it skip themselves, or fail under CI (see
// TAVIK_REQUIRE_PRIVATE_NETWORK).
#include <gtest/gtest.h>

#include "private_network.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tavik::testing::enter_private_network();
  return RUN_ALL_TESTS();
}
