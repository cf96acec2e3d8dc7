#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "wrapper/secret_masking.h"

namespace {

using SRCppWrap::detail::HasSecretCode;
using SRCppWrap::detail::MaskSecretCode;

struct MaskCase {
  const char* name;
  std::string message;
  std::string logged;
};

// Names the case in test output.
void PrintTo(const MaskCase& c, std::ostream* os) {
  *os << c.name;
}

class MaskSecretCodeTest : public testing::TestWithParam<MaskCase> {};

TEST_P(MaskSecretCodeTest, HidesTheValueAndKeepsTheRest) {
  const MaskCase& c = GetParam();
  EXPECT_EQ(MaskSecretCode(c.message), c.logged);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MaskSecretCodeTest,
    testing::Values(
        MaskCase{"StringValue", R"({"rrdi":"R1","secret_code":"s3cr3t","name":"n"})",
                 R"({"rrdi":"R1","secret_code":"XXXX","name":"n"})"},
        MaskCase{"SpacesAroundColon", R"({"secret_code" : "abc"})", R"({"secret_code" : "XXXX"})"},
        MaskCase{"EmptyValue", R"({"secret_code":""})", R"({"secret_code":"XXXX"})"},
        MaskCase{"OnlyFirstOccurrence", R"({"secret_code":"a","x":{"secret_code":"b"}})",
                 R"({"secret_code":"XXXX","x":{"secret_code":"b"}})"},
        MaskCase{"EscapedQuoteInValue", R"({"secret_code":"ab\"cd","n":"x"})",
                 R"({"secret_code":"XXXX","n":"x"})"},
        MaskCase{"KeyWithSuffix", R"({"secret_code_v2":"abc"})", R"({"secret_code_v2":"XXXX"})"},
        MaskCase{"NumberFollowedByMembers", R"({"secret_code":12345,"name":"bob"})",
                 R"({"secret_code":XXXX,"name":"bob"})"},
        MaskCase{"NumberAtTheEnd", R"({"secret_code":12345})", R"({"secret_code":XXXX})"},
        MaskCase{"NestedObject", R"({"secret_code":{"a":"1","b":"2"}})", R"({"secret_code":XXXX)"},
        MaskCase{"UnterminatedString", R"({"secret_code":"abc)", R"({"secret_code":"XXXX)"},
        MaskCase{"NoColon", R"({"note":"secret_code","v":"1"})", R"({"note":"secret_codeXXXX)"},
        MaskCase{"NoQuoteAfterKey", "secret_code=1234", "secret_codeXXXX"},
        MaskCase{"WithoutSecret", R"({"rrdi":"R1"})", R"({"rrdi":"R1"})"}),
    [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

TEST(HasSecretCode, FindsTheWordAnywhere) {
  EXPECT_TRUE(HasSecretCode(R"({"secret_code":"x"})"));
  EXPECT_TRUE(HasSecretCode("secret_code"));
  EXPECT_FALSE(HasSecretCode(R"({"secret":"x","code":"y"})"));
  EXPECT_FALSE(HasSecretCode(""));
}

}  // namespace
