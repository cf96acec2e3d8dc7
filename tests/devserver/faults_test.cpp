// Fault switches of the control endpoint beyond those the golden transcripts use.
#include <gtest/gtest.h>

#include <chrono>

#include "running_server.h"

namespace {

const std::string kSetupQuery = "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7&code=X";

TEST(Faults, EachSwitchShapesTheNextReplyOnly) {
  devtest::Running server;
  const std::pair<const char*, const char*> cases[] = {
      {R"({"kind":"no_err"})", "<srws>"},
      {R"({"kind":"garbage","target":"srws"})", "<"},  // neither markup nor JSON
      {R"({"kind":"no_err","target":"backend"})", "{}"},
  };
  for (const auto& [fault, body] : cases) {
    const bool srws = std::string(fault).find("backend") == std::string::npos;
    auto send = [&] {
      return srws ? server.service("ActionSetup", kSetupQuery)
                  : server.put(devserver::kMassEnrolmentPath, "{}");
    };
    server.control("/control/faults", fault);
    const std::string hit = send()->body;
    if (std::string(body) == "<") {
      EXPECT_EQ(hit.find_first_of("<{"), std::string::npos) << hit;
    } else {
      EXPECT_NE(hit.find(body), std::string::npos) << hit;
      EXPECT_EQ(devtest::ReplyText(hit, "err"), "");
    }
    const auto next = send();
    EXPECT_EQ(next->status, 200) << fault;
    EXPECT_NE(next->body, hit) << fault;
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
    EXPECT_EQ(device.Activate(devtest::Enrol(server).code), i < 2 ? SR_ERR_SYNCHROFAILED : SR_OK);
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
