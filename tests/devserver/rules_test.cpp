// The server's building blocks against independent computations.
#include <gtest/gtest.h>

#include "client_side.h"
#include "crypto.h"
#include "hex.h"
#include "markup.h"
#include "otp.h"
#include "query.h"
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

TEST(OtpRule, AgreesWithTheDeviceComputation) {
  for (const int32_t defi : {-5, 0, 12, 987654321}) {
    for (const char* format : {"8LC", "8C"}) {
      const std::string k1 = devserver::randomHex32();
      const std::string secret = devserver::randomHex32();
      EXPECT_EQ(devserver::otpCompute(k1, defi, secret, format),
                devtest::otp(k1, defi, secret, format));
    }
  }
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
  const std::string text = "SN 1/uk-é/ab_c.*";
  EXPECT_EQ(devserver::formDecode(devtest::urlEncode(text)), text);
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

class RsaKeys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { key_ = new devserver::RsaKey(*devserver::RsaKey::generate(1024)); }
  static void TearDownTestSuite() { delete key_; }
  static std::string modulusHex() { return devserver::hexEncode(key_->modulus()); }
  static devserver::RsaKey* key_;
};
devserver::RsaKey* RsaKeys::key_ = nullptr;

TEST_F(RsaKeys, TheDeviceRecoversAPrivateTransformWithExponent17) {
  EXPECT_EQ(key_->size(), 128u);
  const Bytes modulus = key_->modulus();
  const auto transformed = key_->privateTransform(modulus);
  ASSERT_TRUE(transformed);
  EXPECT_EQ(transformed->size(), 3 * 128u);  // 62 + 62 + 4 bytes
  EXPECT_EQ(devtest::rsaRecoverHex(devserver::hexEncode(*transformed), modulusHex()),
            devserver::hexEncode(modulus));
  EXPECT_EQ(key_->privateTransform({}), Bytes{});
}

TEST_F(RsaKeys, DecryptsWhatTheDeviceEncryptsInBlocks) {
  Bytes message(200);
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 7);
  const auto cipher = devserver::hexDecode(devtest::rsaEncryptHex(message, modulusHex()));
  ASSERT_TRUE(cipher);
  EXPECT_EQ(cipher->size(), 4 * 128u);
  EXPECT_EQ(key_->oaepDecrypt(*cipher), message);

  Bytes damaged = *cipher;
  damaged[5] ^= 0x40;
  EXPECT_EQ(key_->oaepDecrypt(damaged), std::nullopt);
  EXPECT_EQ(key_->oaepDecrypt(Bytes(cipher->begin(), cipher->end() - 1)), std::nullopt);
}

TEST_F(RsaKeys, PemRoundTripKeepsTheKey) {
  const auto again = devserver::RsaKey::fromPem(key_->toPem());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->modulus(), key_->modulus());
  EXPECT_FALSE(devserver::RsaKey::fromPem("not a key"));
}

TEST(Aes, EcbWithoutPaddingMatchesTheDevice) {
  const std::string key = devserver::randomHex32();
  const std::string value = devserver::randomHex32();
  const auto cipher =
      devserver::aesEcbEncrypt(*devserver::hexDecode(key), *devserver::hexDecode(value));
  ASSERT_TRUE(cipher);
  EXPECT_EQ(devtest::aesEcbHex(key, devserver::hexEncode(*cipher), false), value);
  EXPECT_EQ(devserver::aesEcbEncrypt(Bytes(16), Bytes(15)), std::nullopt);
}

TEST(Markup, TextSurvivesEscaping) {
  const std::string text = "a<b>&\"c'";
  const devtest::Reply reply(devserver::Reply().add("m_title", text).add("n", 5).document());
  EXPECT_EQ(reply.get("m_title"), text);
  EXPECT_EQ(reply.get("n"), "5");
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
