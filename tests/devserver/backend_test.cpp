// The enrolment back end's requests: credentials, bad bodies, persistence.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "running_server.h"

namespace {

using devtest::Running;

TEST(Backend, CredentialsAreRequired) {
  Running server;
  const auto none = server.put(devserver::kMassEnrolmentPath, "{}", false);
  EXPECT_EQ(none->status, 401);
  EXPECT_TRUE(none->has_header("WWW-Authenticate"));
  server.control("/control/settings", R"({"user":"u","password":"p"})");
  EXPECT_EQ(server.put(devserver::kMassEnrolmentPath, "{}")->status, 401);
  EXPECT_EQ(server.put(devserver::kCheckEnrolmentPath, "{}")->status, 401);
}

TEST(Backend, MalformedBodiesAreRefused) {
  Running server;
  const std::pair<const char*, const char*> cases[] = {{devserver::kRlxActivationPath, "not json"},
                                                       {devserver::kCheckEnrolmentPath, "["},
                                                       {devserver::kCheckEnrolmentPath, "{}"},
                                                       {devserver::kLoginPath, R"({"otp":"x"})"}};
  for (const auto& [path, body] : cases) EXPECT_EQ(server.put(path, body)->status, 400) << body;
  EXPECT_EQ(server.put(devserver::kLoginPath, R"({"device":"","otp":"x"})", false)->body,
            R"({"status":"UNKNOWN_DEVICE"})");
}

// An OTP confirms the enrolment once, and a restart keeps the keys and the enrolments.
TEST(Backend, ConfirmsTheSdkOtpOnceAndARestartKeepsTheKeys) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("devserver-restart-" + std::to_string(::getpid()) + ".db"))
                               .string();
  std::filesystem::remove(path);
  std::string kfact;
  {
    Running first(path);
    const auto e = devtest::Enrol(first);
    devtest::SdkDevice device(first);
    ASSERT_EQ(device.Activate(e.code), SR_OK);
    kfact = device.ctx()->kfact;
    ASSERT_EQ(device.Otp(0), SR_OK);
    const std::string check = R"({"rrdi_code":"R","login":")" + e.login +
                              R"(","serial_number":"S","token":")" + device.OtpText() + R"("})";
    EXPECT_EQ(first.put(devserver::kCheckEnrolmentPath, check)->body, R"({"status":"OK"})");
    EXPECT_NE(first.put(devserver::kCheckEnrolmentPath, check)->body, R"({"status":"OK"})");
  }
  {
    Running second(path);
    devtest::SdkDevice fresh(second);
    ASSERT_EQ(SRActivationStart(fresh.ctx(), devtest::Enrol(second).code.c_str()), SR_OK);
    EXPECT_EQ(fresh.ctx()->kfact, kfact) << "the RSA keys are made once";
  }
  std::filesystem::remove(path);
}

}  // namespace
