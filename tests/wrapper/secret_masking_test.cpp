#include <gtest/gtest.h>

#include <string>

#include "wrapper/secret_masking.h"

namespace {

using SRCppWrap::detail::HasSecretCode;
using SRCppWrap::detail::MaskSecretCode;

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

}  // namespace
