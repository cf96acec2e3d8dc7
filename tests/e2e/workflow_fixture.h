// What every workflow test starts from: a temporary installation, a fresh dev server, and a
// QmtSR configured the way the host configures it.
#ifndef QMT_TESTS_E2E_WORKFLOW_FIXTURE_H
#define QMT_TESTS_E2E_WORKFLOW_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "QmtSR.h"
#include "devserver_process.h"
#include "drive_root.h"

namespace qmt_e2e {

inline constexpr char kUniqueKey[] = "UK-0001";
inline constexpr char kPin[] = "2468";
inline constexpr char kMessage[] = R"({"rrdi_code":"RRDI42","secret_code":"hush-7731"})";
inline constexpr char kUser[] = "sentrel";  // the dev server's default back-end credentials
inline constexpr char kPassword[] = "sentrel";

class WorkflowTest : public testing::Test {
 protected:
  // Runs the four initialisers with this test's server and the given enrolment status.
  void Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus) const;

  // A complete mass enrolment that must succeed; returns the back end's login OTP.
  std::string EnrolOrFail();

  std::string EnrollmentLog() const { return ReadFile(drive_.enrollmentLog()).value_or(""); }
  std::string AuthenticationLog() const {
    return ReadFile(drive_.authenticationLog()).value_or("");
  }

  DevServerProcess server_;
  DriveRoot drive_;
  std::string seedPath_ = "C:\\APP\\qmt\\GEN\\seed.data";  // as configured by the host
};

// Sends standard output to the null device while in scope: the transport echoes every reply
// body there, which would bury the test's own output.
struct QuietStdout {
  QuietStdout();
  ~QuietStdout();
  int saved;
};

// The message of the last log entry that starts with `prefix`, without the prefix; "" if none.
std::string LastLogged(const std::string& log, const std::string& prefix);
// How many log entries start with `message` (after their time stamp and process id).
int CountLogged(const std::string& log, const std::string& message);

// The log with what changes from run to run replaced by names: each entry's time stamp and
// this process's id, the server's address, seeds, and the codes and OTPs the back end and
// the SDK made. An entry header of another form, or another process id, stays as it is.
std::string Normalised(const std::string& log, const std::string& serverUrl);

}  // namespace qmt_e2e

#endif
