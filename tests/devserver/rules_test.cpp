// The server's OTP rule on a known vector.
#include <gtest/gtest.h>

#include "otp.h"

namespace {

TEST(OtpRule, KnownVectorAndBothFormats) {
  const uint64_t value = devserver::otpValue38("abc");
  EXPECT_EQ(value, 179857719274u);
  EXPECT_EQ(devserver::otpFormat(value, "8LC"), "wnexswkc");
  EXPECT_EQ(devserver::otpFormat(value, "8C"), "05963754");
  EXPECT_EQ(devserver::otpFormat(36, "8LC"), "abaaaaaa");
  EXPECT_EQ(devserver::otpFormat(value, "8lc"), std::nullopt);
}

}  // namespace
