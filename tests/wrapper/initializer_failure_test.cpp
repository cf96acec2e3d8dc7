// The initialisers' exception handlers, reached by failing one chosen allocation: the first
// value handed in is large, and the failure hits the copy of its log line after the value
// itself has been stored.
#include <functional>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace qmt_test {
extern std::size_t g_failAllocationOfAtLeast;  // see failing_allocator.cpp
extern const char* const kInjectedFailureText;
}  // namespace qmt_test

namespace {

using namespace qmt_test;
using SRCppWrap::QmtSR;

TEST(Initializers, ExceptionIsLoggedAndTheBlockStillEnds) {
  const std::string large(5000, 'x');
  const struct {
    const char* error;  // names the initialiser in the error entry
    std::function<std::string(QmtSR&, std::string)> run;  // returns the first value as stored
  } cases[] = {
      {"QmtSRInitialize", [](QmtSR& sr, std::string v) {
         sr.QmtSRInitialize(std::move(v), "new-seed", "e", "s", "u", "m", "n", 1, 2, "d", "r", 0);
         return sr.GetUniquekey() + sr.GetsentrelSeedFilePath();
       }},
      {"Initializing Enrollmenturls", [](QmtSR& sr, std::string v) {
         sr.InitializeEnrollmenturls(std::move(v), "new-seed", "c", "d", "e");
         return sr.GetsentrelCodeandOTPurl() + sr.GetsentrelCheckEnrollmenturl();
       }},
      {"Initializing QMT parameters", [](QmtSR& sr, std::string v) {
         sr.InitQMTParameters(std::move(v));
         return sr.GetBiosSerialNumber();
       }},
      {"Initializing Proxy Parameters", [](QmtSR& sr, std::string v) {
         sr.InitializeProxyParameters(std::move(v), "new-seed", "a", 1, "o");
         return sr.Getproxy_user() + sr.Getproxy_password();
       }},
  };
  for (const auto& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    std::string value = large;
    g_failAllocationOfAtLeast = large.size();
    EXPECT_EQ(c.run(sr, std::move(value)), large) << c.error;  // later values are not stored
    EXPECT_EQ(g_failAllocationOfAtLeast, 0u) << "the failure was not reached";
    g_failAllocationOfAtLeast = 0;
    // The error entry replaces the rest of the block; its banners end it as ever.
    const Messages logged = ReadMessages(sandbox.EnrollmentLog());
    ASSERT_EQ(logged.size(), 3u) << c.error;
    EXPECT_EQ(logged[1], "error while " + std::string(c.error) + " is: " + kInjectedFailureText);
    EXPECT_NE(logged[2].find(" End ="), std::string::npos) << logged[2];
  }
}

}  // namespace
