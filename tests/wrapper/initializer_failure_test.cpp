// The initialisers' exception handlers, reached by failing one chosen allocation.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "wrapper/failing_allocator.h"
#include "wrapper/log_sandbox.h"

namespace {

using qmt_test::Banner;
using qmt_test::LogSandbox;
using qmt_test::ReadMessages;
using SRCppWrap::QmtSR;
using Messages = std::vector<std::string>;

// The first value handed to each initialiser is large; the failure hits the copy of its log
// line, after the value itself has been stored.
constexpr std::size_t kLarge = 5000;

TEST(Initializers, ExceptionIsLoggedAndTheBlockStillEnds) {
  struct Case {
    const char* startTitle;
    const char* errorLine;  // followed by the exception's text
    const char* endTitle;
    std::function<void(QmtSR&, std::string)> run;
    std::function<std::string(QmtSR&)> firstValue;
    std::function<std::string(QmtSR&)> laterValue;  // a value stored after the failing one
  } cases[] = {
      {"Initializing Sentrel with below values started",
       "error while QmtSRInitialize is: ", "Initializing Sentrel with above values End",
       [](QmtSR& sr, std::string v) {
         sr.QmtSRInitialize(std::move(v), "new-seed", "e", "s", "u", "m", "n", 1, 2, "d", "r", 0);
       },
       [](QmtSR& sr) { return sr.GetUniquekey(); },
       [](QmtSR& sr) { return sr.GetsentrelSeedFilePath(); }},
      {"Initializing Enrollment urls started",
       "error while Initializing Enrollmenturls is: ", "Initializing Enrollment urls End",
       [](QmtSR& sr, std::string v) {
         sr.InitializeEnrollmenturls(std::move(v), "new-seed", "c", "d", "e");
       },
       [](QmtSR& sr) { return sr.GetsentrelCodeandOTPurl(); },
       [](QmtSR& sr) { return sr.GetsentrelCheckEnrollmenturl(); }},
      {"Initializing QMT parameters started",
       "error while Initializing QMT parameters is: ", "Initializing QMT parameters End",
       [](QmtSR& sr, std::string v) { sr.InitQMTParameters(std::move(v)); },
       [](QmtSR& sr) { return sr.GetBiosSerialNumber(); }, nullptr},
      {"Initializing Proxy with below values started",
       "error while Initializing Proxy Parameters is: ", "Initializing Proxy with above values End",
       [](QmtSR& sr, std::string v) {
         sr.InitializeProxyParameters(std::move(v), "new-seed", "a", 1, "o");
       },
       [](QmtSR& sr) { return sr.Getproxy_user(); },
       [](QmtSR& sr) { return sr.Getproxy_password(); }},
  };
  for (const Case& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    std::string large(kLarge, 'x');
    qmt_test::FailNextAllocationOfAtLeast(kLarge);
    c.run(sr, std::move(large));
    EXPECT_FALSE(qmt_test::AllocationFailurePending()) << "the failure was not reached";
    qmt_test::FailNextAllocationOfAtLeast(0);

    EXPECT_EQ(
        ReadMessages(sandbox.EnrollmentLog()),
        (Messages{Banner(c.startTitle), c.errorLine + std::string(qmt_test::kInjectedFailureText),
                  Banner(c.endTitle)}));
    EXPECT_EQ(c.firstValue(sr), std::string(kLarge, 'x'));
    if (c.laterValue) {
      EXPECT_EQ(c.laterValue(sr), "") << c.startTitle;
    }
  }
}

}  // namespace
