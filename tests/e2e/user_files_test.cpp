// The host's files as users leave them: a PIN file an editor or a .NET host wrote, a folder
// that is missing, a status file that cannot be written, a confirmation that fails after the
// activation. Each case runs the same way on Linux and under Wine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using testing::HasSubstr;
using testing::Not;

struct PinFileCase {
  const char* name;
  std::string content;
  int result;
};

// A UTF-8 byte-order mark before the PIN is not part of it; UTF-16 stays refused unsent (its
// zero bytes), and anything but one whole mark is still part of the PIN the service refuses.
TEST_F(WorkflowTest, APinFileIsReadPastAUtf8ByteOrderMarkOnly) {
  const std::string login = EnrolOrFail();
  const std::string bom = "\xEF\xBB\xBF";
  const PinFileCase cases[] = {
      {"UTF-8 mark", bom + kPin + "\r\n", 0},
      {"UTF-8 mark, blank line first", bom + "\r\n  " + kPin, 0},
      {"UTF-16 LE", std::string("\xFF\xFE" "2\0" "4\0" "6\0" "8\0", 10), 15},
      {"two marks", bom + bom + kPin, 15},
      {"a mark's first two bytes", "\xEF\xBB" + std::string(kPin), 15},
  };
  for (const PinFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    drive_.WritePin(c.content);
    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    const QuietStdout quiet;
    EXPECT_EQ(qmt.GetOTPforAuthentication(otp), c.result) << server_.RequestLog();
    if (c.result == 0) {
      EXPECT_EQ(server_.Login(login, otp), "OK");
    }
  }
}

}  // namespace
}  // namespace qmt_e2e
