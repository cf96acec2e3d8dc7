// Each fault switch of the control endpoint changes exactly the requests it names.
#include <gtest/gtest.h>

#include <chrono>

#include "running_server.h"

namespace {

using devtest::Running;

const std::string kSetupQuery = "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7&code=X";

TEST(Faults, EachSwitchShapesTheNextReply) {
  const struct {
    const char* fault;
    bool service;  // the service request, else the mass enrolment request
    int status;
    std::string body;  // "*" when only the status and the checks below matter
  } cases[] = {
      {R"({"kind":"result","value":"NOK:CODE"})", true, 200, "err=NOK:CODE"},
      {R"({"kind":"result","value":"OK:BLOCKED"})", true, 200, "err=OK:BLOCKED"},
      {R"({"kind":"result","value":"NOK"})", true, 200, "err=NOK"},
      {R"({"kind":"empty"})", true, 200, ""},
      {R"({"kind":"garbage","target":"srws"})", true, 200, "garbage"},
      {R"({"kind":"no_err"})", true, 200, "err="},
      {R"({"kind":"http_status","value":500,"target":"srws"})", true, 500, "*"},
      {R"({"kind":"http_status","value":500,"path":"enrollmentinit"})", false, 500, "*"},
      {R"({"kind":"http_status","value":404,"target":"backend"})", false, 404, "*"},
      {R"({"kind":"result","value":"KO","target":"backend"})", false, 200, R"({"status":"KO"})"},
      {R"({"kind":"empty","target":"backend"})", false, 200, ""},
      {R"({"kind":"no_err","target":"backend"})", false, 200, "{}"},
      {R"({"kind":"garbage","target":"backend"})", false, 200, "garbage"},
  };
  Running server;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    server.control("/control/faults", c.fault);
    for (int round = 0; round < 2; ++round) {  // the fault hits once, then normal service
      const auto res = c.service ? server.service("ActionSetup", kSetupQuery)
                                 : server.put(devserver::kMassEnrolmentPath, "{}");
      ASSERT_TRUE(res);
      if (round == 1) {
        EXPECT_EQ(res->status, 200);
        if (c.service) {
          EXPECT_EQ(devtest::ReplyText(res->body, "err"), "NOK:CODE");  // answered for real
        }
        continue;
      }
      EXPECT_EQ(res->status, c.status);
      if (c.body == "*") continue;
      if (c.body == "garbage") {
        EXPECT_EQ(res->body.find('<'), std::string::npos);
        EXPECT_EQ(res->body.find('{'), std::string::npos);
      } else if (c.body.rfind("err=", 0) == 0) {
        EXPECT_NE(res->body.find("<srws>"), std::string::npos);
        EXPECT_EQ(devtest::ReplyText(res->body, "err"), c.body.substr(4));
      } else {
        EXPECT_EQ(res->body, c.body);
      }
    }
  }
}

TEST(Faults, FiltersCountsAndClearing) {
  Running server;
  // Two hits on the secrets follow-up only: activation itself goes through.
  server.control("/control/faults",
                 R"({"kind":"result","value":"NOK:NODEVICE","action":"ActionFinalize",)"
                 R"("mode":"ms","count":2})");
  for (int i = 0; i < 3; ++i) {
    devtest::SdkDevice device(server);
    EXPECT_EQ(device.Activate(devtest::Enrol(server).code), i < 2 ? SR_ERR_SYNCHROFAILED : SR_OK);
    EXPECT_EQ(device.ctx()->service_key_count, i < 2 ? 0 : 2);
  }
  server.control("/control/faults", R"({"kind":"empty","count":5})");
  EXPECT_NE(server.get("/control/faults")->body, "[]");
  EXPECT_EQ(server.remove("/control/faults")->status, 200);
  EXPECT_EQ(server.get("/control/faults")->body, "[]");
  EXPECT_EQ(devtest::ReplyText(server.service("ActionSetup", kSetupQuery)->body, "err"),
            "NOK:CODE");
  EXPECT_EQ(server.put("/control/faults", R"({"kind":"smoke"})")->status, 400);
  EXPECT_EQ(server.put("/control/faults", R"({"kind":"http_status","value":"x"})")->status, 400);
  EXPECT_EQ(server.put("/control/faults", "not json")->status, 400);
}

TEST(Faults, DelayAnswersLate) {
  Running server;
  server.control("/control/faults", R"({"kind":"delay","value":300})");
  const auto before = std::chrono::steady_clock::now();
  const auto res = server.service("ActionSetup", kSetupQuery);
  const auto waited = std::chrono::steady_clock::now() - before;
  ASSERT_TRUE(res);
  EXPECT_EQ(devtest::ReplyText(res->body, "err"), "NOK:CODE");
  EXPECT_GE(waited, std::chrono::milliseconds(300));
}

}  // namespace
