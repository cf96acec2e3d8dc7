// Fault switches of the control endpoint beyond those the golden transcripts use.
#include <gtest/gtest.h>

#include <chrono>

#include "running_server.h"

namespace {

const std::string kSetupQuery = "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7&code=X";

// The result-less and garbage answers, once each; the other kinds run in the golden transcripts.
TEST(Faults, EachSwitchShapesTheNextReplyOnly) {
  devtest::Running server;
  for (const std::string fault : {R"({"kind":"no_err"})", R"({"kind":"garbage","target":"srws"})",
                                  R"({"kind":"no_err","target":"backend"})"}) {
    auto send = [&] {
      return fault.find("backend") == std::string::npos
                 ? server.service("ActionSetup", kSetupQuery)
                 : server.put(devserver::kMassEnrolmentPath, "{}");
    };
    server.control("/control/faults", fault);
    const std::string hit = send()->body;
    EXPECT_EQ(devtest::ReplyText(hit, "err"), "") << hit;
    EXPECT_NE(send()->body, hit) << fault;
  }
}

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
  EXPECT_EQ(devtest::ReplyText(server.service("ActionSetup", kSetupQuery)->body, "err"),
            "NOK:CODE");
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
}

}  // namespace
