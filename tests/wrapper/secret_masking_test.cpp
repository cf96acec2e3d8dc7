#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wrapper/secret_masking.h"

namespace {

using SRCppWrap::detail::HasSecretCode;
using SRCppWrap::detail::MaskSecretCode;
using SRCppWrap::detail::MaskSecretValues;

TEST(MaskSecretCode, HidesTheFirstValueAndKeepsTheRest) {
  const struct {
    const char *message, *logged;
  } cases[] = {
      {R"({"rrdi":"R1","secret_code":"s3cr3t","name":"n"})",
       R"({"rrdi":"R1","secret_code":"XXXX","name":"n"})"},
      {R"({"secret_code" : ""})", R"({"secret_code" : "XXXX"})"},
      {R"({"secret_code":"a","x":{"secret_code":"b"}})", R"({"secret_code":"XXXX","x":{"secret_code":"b"}})"},
      {R"({"secret_code":"ab\"cd","n":"x"})", R"({"secret_code":"XXXX","n":"x"})"},
      {R"({"secret_code_v2":"abc"})", R"({"secret_code_v2":"XXXX"})"},
      {R"({"secret_code":12345,"name":"bob"})", R"({"secret_code":XXXX,"name":"bob"})"},
      {R"({"secret_code":12345})", R"({"secret_code":XXXX})"},
      {R"({"secret_code":{"a":"1","b":"2"}})", R"({"secret_code":XXXX)"},
      {R"({"secret_code":"abc)", R"({"secret_code":"XXXX)"},
      {R"({"note":"secret_code","v":"1"})", R"({"note":"secret_codeXXXX)"},
      {"secret_code=1234", "secret_codeXXXX"},
      {R"({"rrdi":"R1"})", R"({"rrdi":"R1"})"},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskSecretCode(c.message), c.logged) << c.message;
  EXPECT_TRUE(HasSecretCode("secret_code"));
  EXPECT_FALSE(HasSecretCode(R"({"secret":"x","code":"y"})"));
}

// Whatever the back end escapes, the value it stands for is hidden; nothing else changes.
TEST(MaskSecretValues, HidesEverySpellingOfAKnownValue) {
  const std::vector<std::string> secrets = {"AC/7Q/9Z", "LOGIN42", "", "\xF0\x9F\x94\x91k"};
  const struct {
    const char *text, *logged;
  } cases[] = {
      {R"({"enrollment_code":"AC\/7Q\/9Z","login_OTP":"L\u004fGIN42"})",
       R"({"enrollment_code":"XXXX","login_OTP":"XXXX"})"},
      {R"({"c":"AC/7Q/9Z","n":"LOGIN4"})", R"({"c":"XXXX","n":"LOGIN4"})"},
      {R"({"a":"pre LOGIN42 post","b":"\u004C\u004F\u0047IN42"})", R"({"a":"XXXX","b":"XXXX"})"},
      {R"({"k":"\ud83d\udd11k"})", R"({"k":"XXXX"})"},  // a pair beyond the first plane
      {R"({"k":"\ud83d"})", R"({"k":"\ud83d"})"},
      {R"({"q":"a\"b","LOGIN42":1})", R"({"q":"a\"b","XXXX":1})"},
      {R"({"n":LOGIN42,"s":"x"})", R"({"n":XXXX,"s":"x"})"},  // written outside a literal
      {R"({"t":"AC\/7Q)", R"({"t":"AC\/7Q)"},                 // unterminated, no secret
      {R"({"t":"AC\/7Q\/9Z)", R"({"t":"XXXX)"},
      {R"({"bad":"\uZZZZ\q"})", R"({"bad":"\uZZZZ\q"})"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskSecretValues(c.text, secrets), c.logged) << c.text;
}

}  // namespace
