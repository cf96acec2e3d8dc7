#include <gtest/gtest.h>

#include <set>
#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/random.h"

namespace {

TEST(RandomHex32, SystemGeneratorGivesDistinctLowerCaseHex) {
  std::set<std::string> seen;
  for (int i = 0; i < 8; i++) {
    std::string hex = Take(srRandomHex32());
    ASSERT_EQ(hex.size(), 32u);
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;
    seen.insert(hex);
  }
  EXPECT_EQ(seen.size(), 8u);
}

TEST(RandomHex32, DrawsSixteenBytesThroughTheInstalledSource) {
  {
    CountingRandomSource source(0xf0);
    EXPECT_EQ(Take(srRandomHex32()), "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    EXPECT_EQ(source.drawn(), 16u);
  }
  // Leaving the scope restores the system generator.
  EXPECT_NE(Take(srRandomHex32()), Take(srRandomHex32()));
}

}  // namespace
