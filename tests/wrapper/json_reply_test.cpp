#include <gtest/gtest.h>

#include <string>

#include "wrapper/json_reply.h"

namespace {

using SRCppWrap::detail::JsonStringMember;

TEST(JsonStringMember, ReadsStringsAndNothingElse) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  const struct {
    std::string reply, member, value;
  } cases[] = {
      {R"({"enrolment_code":"C1","login_otp":"L1"})", "login_otp", "L1"},
      {R"({"login_OTP":"L1"})", "login_otp", ""},  // names are case-sensitive
      {R"({"status":"O\u004B \"q\""})", "status", "OK \"q\""},
      {R"({"other":"OK"})", "status", ""},
      {R"({"status":200})", "status", ""},
      {R"({"status":null})", "status", ""},
      {R"({"status":{"v":"OK"}})", "status", ""},
      {R"(["status","OK"])", "status", ""},
      {"<html>502 Bad Gateway</html>", "status", ""},
      {R"({"status":"OK"} x)", "status", ""},
      {std::string("{\"status\":\"OK\"}\0junk", 20), "status", "OK"},  // cut at a zero byte
      {R"({"status":"OK","x":)" + deep + "}", "status", "OK"},  // deep nesting keeps the stack
      // An escaped NUL ends the value, as the C text it becomes; other members stay whole.
      {R"({"status":"OK\u0000 but not really"})", "status", "OK"},
      {R"({"login_otp":"\u000012345678"})", "login_otp", ""},
      {R"({"a":"x\u0000y","status":"OK"})", "status", "OK"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonStringMember(c.reply, c.member.c_str()), c.value) << c.reply.substr(0, 40);
  }
}

}  // namespace
