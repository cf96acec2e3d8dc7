// The enrolment back end's requests: credentials, bad bodies, persistence.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "running_server.h"

namespace {

using devtest::Running;

TEST(Backend, RequestsNeedCredentialsAndWellFormedBodies) {
  Running server;
  const std::pair<const char*, const char*> cases[] = {{devserver::kRlxActivationPath, "not json"},
                                                       {devserver::kCheckEnrolmentPath, "["},
                                                       {devserver::kCheckEnrolmentPath, "{}"},
                                                       {devserver::kLoginPath, R"({"otp":"x"})"}};
  for (const auto& [path, body] : cases) EXPECT_EQ(server.put(path, body)->status, 400) << body;
  EXPECT_EQ(server.put(devserver::kLoginPath, R"({"device":"","otp":"x"})", false)->body,
            R"({"status":"UNKNOWN_DEVICE"})");
  const auto none = server.put(devserver::kMassEnrolmentPath, "{}", false);
  EXPECT_EQ(none->status, 401);
  EXPECT_TRUE(none->has_header("WWW-Authenticate"));
  server.control("/control/settings", R"({"user":"u","password":"p"})");
  EXPECT_EQ(server.put(devserver::kMassEnrolmentPath, "{}")->status, 401);
  EXPECT_EQ(server.put(devserver::kCheckEnrolmentPath, "{}")->status, 401);
}

// A restart keeps the RSA keys.
TEST(Backend, ARestartKeepsTheKeys) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("devserver-restart-" + std::to_string(::getpid()) + ".db"))
                               .string();
  std::filesystem::remove(path);
  std::string kfact;
  for (int run = 0; run < 2; ++run) {
    Running server(path);
    devtest::SdkDevice device(server);
    ASSERT_EQ(SRActivationStart(device.ctx(), devtest::Enrol(server).c_str()), SR_OK);
    EXPECT_TRUE(run == 0 || kfact == device.ctx()->kfact);
    kfact = device.ctx()->kfact;
  }
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".control-token");
}

}  // namespace
