#include <gtest/gtest.h>

#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/random.h"

namespace {

TEST(RandomHex32, DrawsSixteenBytesThroughTheInstalledSource) {
  {
    CountingRandomSource source(0xf0);
    EXPECT_EQ(Take(srRandomHex32()), "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    EXPECT_EQ(source.drawn(), 16u);
  }
  // Leaving the scope restores the system generator.
  std::string hex = Take(srRandomHex32());
  EXPECT_EQ(hex.size(), 32u);
  EXPECT_NE(hex, Take(srRandomHex32()));
}

}  // namespace
