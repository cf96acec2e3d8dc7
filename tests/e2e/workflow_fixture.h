// What every workflow test starts from: a temporary installation, a fresh dev server, and a
// QmtSR configured the way the host configures it.
#ifndef QMT_TESTS_E2E_WORKFLOW_FIXTURE_H
#define QMT_TESTS_E2E_WORKFLOW_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "support/test_os.h"

namespace qmt_e2e {

namespace fs = std::filesystem;

// A temporary installation: <C:\>/APP/qmt/{GEN,BIN,log} and <C:\>/log under a drive root
// (QMT_DRIVE_ROOT), working in APP/qmt/BIN so that "..\GEN\ToolvexPin.txt" is the fixed PIN file.
// On Windows <C:\> is the real C: drive, which only Wine's throwaway prefix allows.
class DriveRoot {
 public:
  DriveRoot();
  ~DriveRoot();
  // Makes <C:\>/<folder> the working directory, with the log folders the relative paths name
  // from there; the relative PIN path then names another file than the fixed one.
  void MoveTo(const std::string& folder);

  fs::path gen() const { return driveC_ / "APP/qmt/GEN"; }
  fs::path seedFile() const { return gen() / "seed.data"; }
  fs::path pinFile() const { return gen() / "ToolvexPin.txt"; }
  fs::path statusFile() const { return gen() / "Enrollment_Status.txt"; }
  fs::path relativePinFile() const { return work_ / "../GEN/ToolvexPin.txt"; }
  fs::path enrollmentLog() const { return work_ / "../log/SREnrollmentlog.log"; }
  fs::path authenticationLog() const { return work_ / "../../../log/SRAuthenticationlog.log"; }
  void WritePin(const std::string& pin) const;

 private:
  fs::path root_, driveC_, work_, previousDirectory_;
  std::optional<std::string> previousDriveRoot_;
};

using qmt_test::ReadFile;
void WriteFile(const fs::path& path, const std::string& content);

// sentrel-devserver as a child process for one test: a fresh database in its own temporary
// folder, a free loopback port, and a stop when the test ends.
class DevServerProcess {
 public:
  // Throws when the server does not announce its port within 20 s; `extra`: more arguments.
  explicit DevServerProcess(const std::vector<std::string>& extra = {});
  ~DevServerProcess();

  int port() const { return port_; }
  std::string url(const std::string& path = "") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string massEnrolmentUrl() const { return url("/api/enrollmentinit"); }
  std::string rlxActivationUrl() const { return url("/api/rlx/activation"); }
  std::string checkEnrolmentUrl() const { return url("/api/checkenrollment"); }

  void ArmFault(const std::string& faultJson) const { Control("/control/faults", faultJson); }
  void ChangeSettings(const std::string& json) const { Control("/control/settings", json); }
  // The server's login check: the "status" member of its answer ("OK" when accepted).
  std::string Login(const std::string& device, const std::string& otp) const;
  std::string RequestLog() const { return ReadFile(folder_ / "requests.log"); }
  // Connections accepted since the start, and open now, besides the asking one.
  int Connections() const { return ConnectionCount("accepted") - 1; }
  int OpenConnections() const { return ConnectionCount("open") - 1; }
  void Restart();  // on the same port and database; its connections close

 private:
  void Start(int port);
  int ConnectionCount(const char* member) const;
  void Stop();
  void Control(const std::string& path, const std::string& json) const;  // a JSON object
  fs::path folder_;
  std::vector<std::string> extra_;  // kept for a restart
  long pid_ = -1;
  int port_ = 0;
};

// The server is a program of the build machine: a POSIX test forks it; a Windows test under
// Wine starts it as a native program. A new folder for one server, and a path as it names it.
fs::path MakeServerFolder();
std::string ServerPath(const fs::path& path);
// Starts the server with `arguments`, its standard error going to `errorLog`; waits at most
// 20 s for the first line of its standard output (the port). Returns its process id, or -1.
long StartServer(const std::vector<std::string>& arguments, const fs::path& errorLog,
                 const fs::path& folder, std::string& firstLine);
// Ends it: SIGTERM, then SIGKILL if it has not ended within 5 s.
void StopServer(long pid);

inline constexpr char kUniqueKey[] = "UK-0001";
inline constexpr char kPin[] = "2468";
inline constexpr char kMessage[] = R"({"rrdi_code":"RRDI42","secret_code":"hush-7731"})";
inline constexpr char kUser[] = "sentrel";  // the dev server's default back-end credentials
inline constexpr char kPassword[] = "sentrel";

class WorkflowTest : public testing::Test {
 protected:
  // Runs the four initialisers with this test's server.
  void Configure(SRCppWrap::QmtSR& qmt, int enrollmentStatus) const;
  // A complete mass enrolment that must succeed; returns the back end's login OTP.
  std::string EnrolOrFail();
  std::string EnrollmentLog() const { return ReadFile(drive_.enrollmentLog()); }
  std::string AuthenticationLog() const { return ReadFile(drive_.authenticationLog()); }

  DevServerProcess server_;
  DriveRoot drive_;
  std::string seedPath_ = "C:\\APP\\qmt\\GEN\\seed.data";  // as configured by the host
};

// Keeps standard output out of the test's own while in scope: the transport echoes every
// reply body there, which would bury the test's output.
struct QuietStdout {
  QuietStdout() { testing::internal::CaptureStdout(); }
  ~QuietStdout() { testing::internal::GetCapturedStdout(); }
};

// The message of the last log entry that starts with `prefix`, without the prefix; "" if none.
std::string LastLogged(const std::string& log, const std::string& prefix);
// How many log entries start with `message` (after their time stamp and process id).
int CountLogged(const std::string& log, const std::string& message);

// The log with what changes from run to run named instead: entry stamps and this process's id
// and the server's address (Unstamped), and with Normalised also seeds, codes and OTPs. Other
// headers and process ids stay as they are.
// `text` with every `value` in it replaced by `name`.
std::string ReplaceAll(std::string text, const std::string& value, const std::string& name);
std::string Unstamped(const std::string& log, const std::string& serverUrl);
std::string Normalised(const std::string& log, const std::string& serverUrl);

}  // namespace qmt_e2e

#endif
