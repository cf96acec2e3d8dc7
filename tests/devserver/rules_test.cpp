// The server's OTP rule on a known vector, and its settings.
#include <gtest/gtest.h>

#include "otp.h"
#include "settings.h"

namespace {

TEST(OtpRule, KnownVectorAndBothFormats) {
  const uint64_t value = devserver::otpValue38("abc");
  EXPECT_EQ(value, 179857719274u);
  EXPECT_EQ(devserver::otpFormat(value, "8LC"), "wnexswkc");
  EXPECT_EQ(devserver::otpFormat(value, "8C"), "05963754");
  EXPECT_EQ(devserver::otpFormat(36, "8LC"), "abaaaaaa");
  EXPECT_EQ(devserver::otpFormat(value, "8lc"), std::nullopt);
}

TEST(SettingsJson, AppliesAllOrNothing) {
  devserver::Settings s = devserver::defaultSettings(1);
  EXPECT_EQ(devserver::applySettingsJson(s, R"({"otp_format":"8C","services":[{"id":7}]})"), "");
  EXPECT_EQ(s.services.size(), 1u);
  for (const char* bad : {R"({"otp_format":"8LC","dk1":"sometimes"})", R"({"colour":1})", "[1]"}) {
    EXPECT_NE(devserver::applySettingsJson(s, bad), "") << bad;
  }
  EXPECT_EQ(s.otp_format, "8C");
  EXPECT_EQ(devserver::applySettingsJson(s, R"({"defi":null})"), "");
  EXPECT_FALSE(s.defi);
}

}  // namespace
