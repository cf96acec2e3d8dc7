// qmtsr as a user runs it: enrol, print OTPs the server accepts, name failures, survive kills.
// The secrets reach it through files and standard input, or its command line.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using testing::HasSubstr;
using Args = std::vector<std::string>;

// Starts qmtsr with standard input from `input`, its output in qmtsr.out and qmtsr.err.
pid_t StartQmtsr(const Args& args, const char* input = "/dev/null") {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(input, O_RDONLY), STDIN_FILENO);
    ::dup2(::open("qmtsr.out", O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    ::dup2(::open("qmtsr.err", O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(QMTSR_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QMTSR_CLI_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ProgramRun {
  int exitCode;
  std::string out, err;
};

ProgramRun RunQmtsr(const Args& args, const char* input = "/dev/null") {
  const int code = ExitCode(StartQmtsr(args, input));
  return {code, ReadFile("qmtsr.out"), ReadFile("qmtsr.err")};
}

class QmtsrTest : public WorkflowTest {
 protected:
  Args With(Args args, const std::string& serviceUrl = "") const {
    for (const std::string& a :
         Args{"--service-url", serviceUrl.empty() ? server_.url() : serviceUrl, "--device-serial",
          "DEV-0001", "--unique-key", kUniqueKey, "--macid", "mac-1", "--host-version", "9.1"}) {
      args.push_back(a);
    }
    return args;
  }
  Args Enroll() const {
    return With({"enroll", "--pin", kPin, "--code-otp-url", server_.massEnrolmentUrl(),
                 "--check-url", server_.checkEnrolmentUrl(), "--user", kUser, "--password",
                 kPassword, "--message", kMessage, "--rrdi", "RRDI42"});
  }
};

TEST_F(QmtsrTest, NamesTheFailingResultAndExitsNonZero) {
  const ProgramRun enrol = RunQmtsr(Enroll());
  ASSERT_EQ(enrol.exitCode, 0) << enrol.err << server_.RequestLog();
  EXPECT_EQ(enrol.out, "enrolment confirmed (result 1000)\n");
  EXPECT_EQ(ReadFile(drive_.pinFile()), kPin);
  const ProgramRun down = RunQmtsr(With({"otp", "--pin", kPin}, "http://127.0.0.1:1"));
  EXPECT_EQ(down.exitCode, 1);
  EXPECT_EQ(down.out, "");
  EXPECT_THAT(down.err, HasSubstr("no OTP, result 1: no usable reply from the authentication"));
  EXPECT_THAT(down.err, HasSubstr("\nqmtsr: The authentication service could not be reached."));
  server_.ArmFault(
      R"({"kind":"http_status","value":503,"target":"backend","path":"enrollmentinit"})");
  const ProgramRun refused = RunQmtsr(Enroll());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.err, HasSubstr("enrolment failed with result 503: the enrolment back end"));
}

TEST_F(QmtsrTest, EnrolsAndKillsDuringOtpRunsNeverDamageTheSeedNorLeaveDebris) {
  WriteFile("pin.txt", std::string(kPin) + "\n");
  WriteFile("password.txt", kPassword);
  WriteFile("message.json", kMessage);
  const ProgramRun enrol = RunQmtsr(
      With({"enroll", "--code-otp-url", server_.massEnrolmentUrl(), "--check-url",
            server_.checkEnrolmentUrl(), "--user", kUser, "--password-file", "password.txt",
            "--message-file", "-", "--pin-file", "pin.txt"}),
      "message.json");
  ASSERT_EQ(enrol.exitCode, 0) << enrol.err << server_.RequestLog();
  EXPECT_EQ(std::filesystem::status(drive_.seedFile()).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string login = LastLogged(EnrollmentLog(), "Login OTP: ");

  const Args otp = With({"otp", "--pin-file", "-"});
  pid_t run = 0;
  for (int kill = 0; kill < 30; ++kill) {
    run = StartQmtsr(otp, "pin.txt");
    ::usleep(static_cast<useconds_t>((kill * 7919) % 40000));  // spread over a whole run
    ::kill(run, SIGKILL);
    ExitCode(run);
    const std::string seed = ReadFile(drive_.seedFile());
    ASSERT_EQ(seed.rfind("0.2.7&&", 0), 0u) << "after kill " << kill << ": '" << seed << "'";
  }
  // What a kill between writing and renaming leaves; its process has ended.
  WriteFile(drive_.gen() / ("seed.data.tmp-" + std::to_string(run) + "-1"), "a copy of the seed");
  const ProgramRun clean = RunQmtsr(otp, "pin.txt");
  ASSERT_EQ(clean.exitCode, 0) << server_.RequestLog();
  EXPECT_THAT(clean.out, testing::MatchesRegex("[0-9a-z]{8}\n"));
  EXPECT_EQ(server_.Login(login, clean.out.substr(0, 8)), "OK");
  EXPECT_NE(server_.Login(login, clean.out.substr(0, 8)), "OK") << "an OTP is good once";
  for (const auto& entry : std::filesystem::directory_iterator(drive_.gen())) {
    EXPECT_THAT(entry.path().filename().string(), testing::Not(HasSubstr(".tmp-")));
  }
}

}  // namespace
}  // namespace qmt_e2e
