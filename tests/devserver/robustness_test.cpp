// Malformed requests get a clear NOK or 400 and the server keeps serving.
#include <gtest/gtest.h>

#include "running_server.h"

namespace {

using devtest::Running;

struct Malformed {
  const char* what;
  std::string action;
  std::string query;
  int status;
};

std::vector<Malformed> malformedRequests() {
  const std::string base = "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7";
  const std::string proofs =
      "&R0=" + std::string(64, 'a') + "&R1=" + std::string(64, 'b') + "&R2=" + std::string(64, 'c');
  const std::string fin = base + "&lang=fr" + proofs + "&ack=&code=C&serial=a%2fb%2fc";
  return {
      {"no action", "", "", 400},
      {"unknown action", "ActionDance", base, 400},
      {"unknown mode", "ActionSetup", "&mode=dance&id=&macid=&lastsync=0&version=0%2e2%2e7", 400},
      {"ms has no setup", "ActionSetup", "&mode=ms&id=&macid=&lastsync=0", 400},
      {"missing code", "ActionSetup", base, 200},
      {"missing lastsync", "ActionSetup", "&mode=activate&id=&macid=&version=0%2e2%2e7&code=C",
       200},
      {"lastsync not a number", "ActionSetup",
       "&mode=activate&id=&macid=&lastsync=12x&version=0%2e2%2e7&code=C", 200},
      {"bad escape", "ActionSetup", base + "&code=%zz", 200},
      {"oversized value", "ActionSetup", base + "&code=" + std::string(5000, 'A'), 200},
      {"Kma not hex", "ActionFinalize", fin + "&Kma=xyz1&pin=&name=n", 200},
      {"Kma odd length", "ActionFinalize", fin + "&Kma=abc&pin=&name=n", 200},
      {"missing pin", "ActionFinalize", fin + "&Kma=00&name=n", 200},
      {"short proof", "ActionFinalize",
       base + "&lang=fr&R0=ab&R1=ab&R2=ab&ack=&code=C&serial=s&Kma=00&pin=&name=n", 200},
      {"ms_n out of range", "ActionFinalize",
       "&mode=ms&id=DV-1&macid=&lastsync=0" + proofs + "&ms_n=100000", 200},
      {"ms item missing", "ActionFinalize",
       "&mode=ms&id=DV-1&macid=&lastsync=0" + proofs + "&ms_n=1", 200},
      {"ack not ids", "ActionFinalize",
       "&mode=otp&id=DV-1&macid=&lastsync=0&version=0%2e2%2e7&lang=fr" + proofs +
           "&ack=%3cscript%3e&sid=1",
       200},
  };
}

TEST(Robustness, MalformedRequestsAreAnsweredClearly) {
  Running server;
  for (const auto& m : malformedRequests()) {
    SCOPED_TRACE(m.what);
    const auto res = server.service(m.action, m.query);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, m.status);
    EXPECT_EQ(devtest::ReplyText(res->body, "err"), "NOK");
    EXPECT_NE(res->body.find("<code>BADREQUEST</code><arg>"), std::string::npos)
        << "the warning names the item";
  }
  const auto bare = server.get("/srws/MAC");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->status, 400);
  EXPECT_EQ(server.get("/no/such/path")->status, 404);
  EXPECT_EQ(server.put(devserver::kMassEnrolmentPath, std::string(100 * 1024, '{'))->status, 413);
}

TEST(Robustness, StaysUpUnderAThousandRequests) {
  Running server;
  const auto requests = malformedRequests();
  for (int i = 0; i < 1000; ++i) {
    const auto& m = requests[size_t(i) % requests.size()];
    const auto res = i % 10 == 9 ? server.put(devserver::kMassEnrolmentPath, "[]")
                                 : server.service(m.action, m.query);
    ASSERT_TRUE(res) << "request " << i;
  }
  devtest::SdkDevice device(server);
  EXPECT_EQ(device.Activate(devtest::Enrol(server).code), SR_OK);
}

}  // namespace
