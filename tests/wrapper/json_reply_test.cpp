#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "wrapper/json_reply.h"

namespace {

using SRCppWrap::detail::JsonStringMember;

struct MemberCase {
  const char* name;
  std::string reply;
  const char* member;
  std::string value;
};

// Names the case in test output.
void PrintTo(const MemberCase& c, std::ostream* os) {
  *os << c.name;
}

class JsonStringMemberTest : public testing::TestWithParam<MemberCase> {};

TEST_P(JsonStringMemberTest, ReadsStringsAndNothingElse) {
  const MemberCase& c = GetParam();
  EXPECT_EQ(JsonStringMember(c.reply, c.member), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, JsonStringMemberTest,
    testing::Values(
        MemberCase{"Present", R"({"status":"OK"})", "status", "OK"},
        MemberCase{"AmongOthers", R"({"enrolment_code":"C1","login_otp":"L1"})", "login_otp", "L1"},
        MemberCase{"CaseSensitiveName", R"({"login_OTP":"L1"})", "login_otp", ""},
        MemberCase{"EscapesDecoded", R"({"status":"O\u004B \"q\""})", "status", "OK \"q\""},
        MemberCase{"Missing", R"({"other":"OK"})", "status", ""},
        MemberCase{"Number", R"({"status":200})", "status", ""},
        MemberCase{"Null", R"({"status":null})", "status", ""},
        MemberCase{"Object", R"({"status":{"v":"OK"}})", "status", ""},
        MemberCase{"NotAnObject", R"(["status","OK"])", "status", ""},
        MemberCase{"Garbage", "<html>502 Bad Gateway</html>", "status", ""},
        MemberCase{"Empty", "", "status", ""},
        MemberCase{"TrailingGarbage", R"({"status":"OK"} x)", "status", ""},
        MemberCase{"CutAtZeroByte", std::string("{\"status\":\"OK\"}\0junk", 20), "status", "OK"},
        MemberCase{"ValueEndsAtEscapedZero", R"({"status":"OK\u0000x"})", "status", "OK"},
        MemberCase{
            "DeepNestingKeepsTheStack",
            R"({"status":"OK","x":)" + std::string(200000, '[') + std::string(200000, ']') + "}",
            "status", "OK"}),
    [](const testing::TestParamInfo<MemberCase>& info) { return std::string(info.param.name); });

}  // namespace
