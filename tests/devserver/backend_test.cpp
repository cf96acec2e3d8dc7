// The enrolment back end's requests: credentials and bad bodies.
#include <gtest/gtest.h>

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

}  // namespace
