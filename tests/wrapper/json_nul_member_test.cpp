// A reply member holding an escaped NUL reads up to the NUL, as the C text it becomes: a
// check-enrolment status "OK\u0000..." confirms like "OK", a member that starts with the NUL
// reads as empty, and a NUL in one member leaves the others whole.
#include <gtest/gtest.h>

#include "wrapper/json_reply.h"

namespace {

using SRCppWrap::detail::JsonStringMember;

TEST(JsonStringMember, EscapedNulEndsTheValue) {
  EXPECT_EQ(JsonStringMember(R"({"status":"OK\u0000 but not really"})", "status"), "OK");
  EXPECT_EQ(JsonStringMember(R"({"login_otp":"\u000012345678"})", "login_otp"), "");
  EXPECT_EQ(JsonStringMember(R"({"a":"x\u0000y","status":"OK"})", "status"), "OK");
}

}  // namespace
