// The server's building blocks: the OTP rule, query decoding, hex, markup and settings.
#include <gtest/gtest.h>

#include "crypto.h"
#include "hex.h"
#include "markup.h"
#include "otp.h"
#include "query.h"
#include "running_server.h"
#include "settings.h"

namespace {

using devserver::Bytes;

TEST(OtpRule, KnownVectorAndBothFormats) {
  const uint64_t value = devserver::otpValue38("abc");
  EXPECT_EQ(value, 179857719274u);
  EXPECT_EQ(devserver::otpFormat(value, "8LC"), "wnexswkc");
  EXPECT_EQ(devserver::otpFormat(value, "8C"), "05963754");
  EXPECT_EQ(devserver::otpFormat(0, "8LC"), "aaaaaaaa");
  EXPECT_EQ(devserver::otpFormat(35, "8LC"), "9aaaaaaa");
  EXPECT_EQ(devserver::otpFormat(36, "8LC"), "abaaaaaa");
  EXPECT_EQ(devserver::otpFormat(value, "8lc"), std::nullopt);
  EXPECT_EQ(devserver::otpFormat(value, ""), std::nullopt);
}

TEST(FormDecode, DecodesWhatTheClientEncodes) {
  const struct {
    const char* in;
    std::optional<std::string> out;
  } cases[] = {
      {"a+b", "a b"},       {"1%2d2", "1-2"},       {"%e9", "\xe9"},
      {"%2F%2f", "//"},     {"0%2e2%2e7", "0.2.7"}, {"", ""},
      {"%2", std::nullopt}, {"%", std::nullopt},    {"%zz", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(devserver::formDecode(c.in), c.out) << c.in;
}

TEST(ParseQuery, FirstItemWinsAndBadEscapesAreReported) {
  const auto q = devserver::parseQuery("action=ActionSetup&&mode=otp&mode=ms&flag&id=%zz");
  EXPECT_EQ(q.items.at("action"), "ActionSetup");
  EXPECT_EQ(q.items.at("mode"), "otp");
  EXPECT_EQ(q.items.at("flag"), "");
  EXPECT_EQ(q.items.count("id"), 0u);
  EXPECT_FALSE(q.error.empty());
}

TEST(Hex, StrictDecoding) {
  EXPECT_EQ(devserver::hexDecode("0A0a"), (Bytes{0x0a, 0x0a}));
  EXPECT_EQ(devserver::hexDecode(""), Bytes{});
  EXPECT_EQ(devserver::hexDecode("abc"), std::nullopt);
  EXPECT_EQ(devserver::hexDecode("zz"), std::nullopt);
}

TEST(Markup, TextSurvivesEscaping) {
  const std::string text = "a<b>&\"c'";
  const std::string body = devserver::Reply().add("m_title", text).add("n", 5).document();
  EXPECT_EQ(devtest::ReplyText(body, "m_title"), text);
  EXPECT_EQ(devtest::ReplyText(body, "n"), "5");
}

TEST(SettingsJson, AppliesAllOrNothing) {
  devserver::Settings s = devserver::defaultSettings(1);
  EXPECT_EQ(devserver::applySettingsJson(
                s, R"({"otp_format":"8C","defi":-3,"services":[{"id":7,"name":"x"}]})"),
            "");
  EXPECT_EQ(s.otp_format, "8C");
  EXPECT_EQ(s.defi, -3);
  ASSERT_EQ(s.services.size(), 1u);
  EXPECT_EQ(s.services[0].name, "x");

  EXPECT_NE(devserver::applySettingsJson(s, R"({"otp_format":"8LC","dk1":"sometimes"})"), "");
  EXPECT_NE(devserver::applySettingsJson(s, R"({"colour":"red"})"), "");
  EXPECT_NE(devserver::applySettingsJson(s, "[1]"), "");
  EXPECT_EQ(s.otp_format, "8C");
  EXPECT_EQ(devserver::applySettingsJson(s, R"({"defi":null})"), "");
  EXPECT_FALSE(s.defi);
}

}  // namespace
