// Fault switches of the control endpoint: filters, counts, clearing and delay.
#include <gtest/gtest.h>

#include <chrono>

#include "running_server.h"

namespace {

TEST(Faults, FiltersCountsClearingAndDelay) {
  devtest::Running server;
  // Two hits on the secrets follow-up only: activation itself goes through.
  server.control("/control/faults",
                 R"({"kind":"result","value":"NOK:NODEVICE","action":"ActionFinalize",)"
                 R"("mode":"ms","count":2})");
  for (int i = 0; i < 3; ++i) {
    devtest::SdkDevice device(server);
    EXPECT_EQ(device.Activate(devtest::Enrol(server)), i < 2 ? SR_ERR_SYNCHROFAILED : SR_OK);
  }
  server.control("/control/faults", R"({"kind":"empty","count":5})");
  EXPECT_EQ(server.remove("/control/faults")->status, 200);
  EXPECT_EQ(server.get("/control/faults")->body, "[]");
  for (const char* bad : {R"({"kind":"smoke"})", R"({"kind":"http_status","value":"x"})", "x"}) {
    EXPECT_EQ(server.put("/control/faults", bad)->status, 400) << bad;
  }
  server.control("/control/faults", R"({"kind":"delay","value":300})");
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(devtest::ReplyText(server.service("ActionSetup", "&mode=otp")->body, "err"), "NOK");
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
}

}  // namespace
