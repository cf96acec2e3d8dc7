// Malformed requests get a clear NOK or 400 and the server keeps serving.
#include <gtest/gtest.h>

#include "running_server.h"

namespace {

struct Malformed {
  std::string action, query;
  int status;
};

TEST(Robustness, MalformedRequestsAreAnsweredClearlyAndTheServerStaysUp) {
  const std::string base = "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7";
  const std::string proofs =
      "&R0=" + std::string(64, 'a') + "&R1=" + std::string(64, 'b') + "&R2=" + std::string(64, 'c');
  const std::string fin = base + "&lang=fr" + proofs + "&ack=&code=C&serial=a%2fb%2fc";
  const std::string ms = "&mode=ms&id=DV-1&macid=&lastsync=0" + proofs;
  const Malformed requests[] = {
      {"", "", 400},
      {"ActionDance", base, 400},
      {"ActionSetup", "&mode=ms&id=&macid=&lastsync=0", 400},
      {"ActionSetup", base, 200},
      {"ActionSetup", base + "&code=%zz", 200},
      {"ActionFinalize",
       base + "&lang=fr&R0=ab&R1=ab&R2=ab&ack=&code=C&serial=s&Kma=00&pin=&name=n", 200},
      {"ActionFinalize", ms + "&ms_n=100000", 200},
      {"ActionFinalize",
       "&mode=otp&id=DV-1&macid=&lastsync=0&version=0%2e2%2e7&lang=fr" + proofs +
           "&ack=%3cscript%3e&sid=1",
       200},
  };
  devtest::Running server;
  for (const auto& m : requests) {
    SCOPED_TRACE(m.action + m.query.substr(0, 80));
    const auto res = server.service(m.action, m.query);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, m.status);
    EXPECT_EQ(devtest::ReplyText(res->body, "err"), "NOK");
    EXPECT_NE(res->body.find("<code>BADREQUEST</code><arg>"), std::string::npos);
  }
  EXPECT_EQ(server.get("/srws/MAC")->status, 400);
  EXPECT_EQ(server.get("/no/such/path")->status, 404);
  EXPECT_EQ(server.put(devserver::kMassEnrolmentPath, std::string(100 * 1024, '{'))->status, 413);
  // Still serving after all of them:
  devtest::SdkDevice device(server);
  EXPECT_EQ(device.Activate(devtest::Enrol(server)), SR_OK);
}

}  // namespace
