// The enrolment back end's requests: credentials, member names, bad bodies.
#include <gtest/gtest.h>

#include "backend.h"
#include "client_side.h"

namespace {

using devtest::Running;

TEST(Backend, CredentialsAreRequired) {
  Running server;
  const auto none = server.put(devserver::kMassEnrolmentPath, "{}", false);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 401);
  EXPECT_TRUE(none->has_header("WWW-Authenticate"));
  server.control("/control/settings", R"({"user":"u","password":"p"})");
  EXPECT_EQ(server.put(devserver::kMassEnrolmentPath, "{}")->status, 401);
  EXPECT_EQ(server.put(devserver::kCheckEnrolmentPath, "{}")->status, 401);
}

TEST(Backend, EachCodeRequestUsesItsMemberNames) {
  Running server;
  const auto mass = server.put("/sentrel/v2/enrollmentinit?site=3", R"({"rrdi_code":"R"})");
  ASSERT_TRUE(mass);
  EXPECT_EQ(mass->status, 200);
  EXPECT_NE(mass->body.find("\"enrolment_code\":"), std::string::npos) << mass->body;
  EXPECT_NE(mass->body.find("\"login_otp\":"), std::string::npos);
  const auto rlx = server.put(devserver::kRlxActivationPath, R"({"rrdi_code":"R"})");
  ASSERT_TRUE(rlx);
  EXPECT_NE(rlx->body.find("\"enrollment_code\":"), std::string::npos) << rlx->body;
  EXPECT_NE(rlx->body.find("\"login_OTP\":"), std::string::npos);
  EXPECT_EQ(server.put(devserver::kRlxActivationPath, "not json")->status, 400);
}

TEST(Backend, CheckEnrolmentAndLoginNeedWellFormedRequests) {
  Running server;
  const auto e = devtest::enrol(server);
  const std::string check =
      R"({"rrdi_code":"R","login":")" + e.login + R"(","serial_number":"S","token":"aaaaaaaa"})";
  EXPECT_EQ(server.put(devserver::kCheckEnrolmentPath, check)->body,
            R"({"status":"NOT_ACTIVATED"})");
  EXPECT_EQ(server.put(devserver::kCheckEnrolmentPath, R"({"login":"x"})")->status, 400);
  EXPECT_EQ(server.put(devserver::kCheckEnrolmentPath, "[")->status, 400);
  EXPECT_EQ(server.put(devserver::kLoginPath, R"({"otp":"x"})", false)->status, 400);
  EXPECT_EQ(server.put(devserver::kLoginPath, R"({"device":"","otp":"x"})", false)->body,
            R"({"status":"UNKNOWN_DEVICE"})");
}

TEST(Backend, Base64Decoding) {
  EXPECT_EQ(devserver::base64Decode("c2VudHJlbDpzZW50cmVs"), "sentrel:sentrel");
  EXPECT_EQ(devserver::base64Decode("dTpw"), "u:p");
  EXPECT_EQ(devserver::base64Decode("dQ=="), "u");
  EXPECT_EQ(devserver::base64Decode("d*=="), std::nullopt);
}

}  // namespace
