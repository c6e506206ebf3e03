#include "platform/os_info.h"

#include <gtest/gtest.h>

namespace tavik::platform {
namespace {

TEST(OsDescription, WritesTypeVersionOptionalPartsAndBitness) {
  OsInfo full{"Windows", "10.0.19045", "Pro", "22H2", Bitness::X64, "x86_64"};
  EXPECT_EQ(os_description(full), "Windows 10.0.19045 Pro 22H2 (64-bit x86_64)");
  OsInfo bare{"Linux", "6.1", std::nullopt, std::nullopt, Bitness::Unknown, std::nullopt};
  EXPECT_EQ(os_description(bare), "Linux 6.1 (unknown bitness)");
  EXPECT_EQ(bitness_text(Bitness::X32), "32-bit");
}

TEST(OsDescription, TheRunningSystemHasATypeName) {
  const auto info = read_os_info();
  EXPECT_FALSE(info.type_name.empty());
  EXPECT_NE(info.bitness, Bitness::Unknown);
}

}  // namespace
}  // namespace tavik::platform
