// The enrolment back end's requests: credentials, member names, bad bodies.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "backend.h"
#include "running_server.h"

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
  const auto e = devtest::Enrol(server);
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

// The SDK enrols, its OTP confirms the enrolment once, and a restart keeps the keys, the
// enrolments, the devices and a pending exchange.
TEST(Backend, ConfirmsTheSdkOtpAndARestartKeepsEverything) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("devserver-restart-" + std::to_string(::getpid()) + ".db"))
                               .string();
  std::filesystem::remove(path);
  auto check = [](devtest::Running& server, const std::string& login, const std::string& otp) {
    return server
        .put(devserver::kCheckEnrolmentPath, R"({"rrdi_code":"R","login":")" + login +
                                                 R"(","serial_number":"S","token":")" + otp +
                                                 R"("})")
        ->body;
  };
  std::string kfact;
  {
    devtest::Running first(path);
    const auto e = devtest::Enrol(first);
    devtest::SdkDevice device(first);
    ASSERT_EQ(device.Activate(e.code), SR_OK);
    kfact = device.ctx()->kfact;
    ASSERT_EQ(device.Otp(0), SR_OK);
    EXPECT_EQ(check(first, e.login, device.OtpText()), R"({"status":"OK"})");
    EXPECT_NE(check(first, e.login, device.OtpText()), R"({"status":"OK"})") << "spent";
  }
  {
    devtest::Running second(path);
    devtest::SdkDevice fresh(second);
    ASSERT_EQ(SRActivationStart(fresh.ctx(), devtest::Enrol(second).code.c_str()), SR_OK);
    EXPECT_EQ(fresh.ctx()->kfact, kfact) << "the RSA keys are made once";
  }
  std::filesystem::remove(path);
}

TEST(Backend, Base64Decoding) {
  EXPECT_EQ(devserver::base64Decode("c2VudHJlbDpzZW50cmVs"), "sentrel:sentrel");
  EXPECT_EQ(devserver::base64Decode("dTpw"), "u:p");
  EXPECT_EQ(devserver::base64Decode("dQ=="), "u");
  EXPECT_EQ(devserver::base64Decode("d*=="), std::nullopt);
}

}  // namespace
