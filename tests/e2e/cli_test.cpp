// qmtsr as a user runs it: enrol, print OTPs the server accepts, and name failures.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

using testing::HasSubstr;
using testing::MatchesRegex;

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs qmtsr with the arguments, stdin from /dev/null, in the test's working directory.
ProgramRun RunQmtsr(const std::vector<std::string>& args) {
  const std::string outPath = "qmtsr.out";
  const std::string errPath = "qmtsr.err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(QMTSR_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QMTSR_CLI_PATH, argv.data());
    ::_exit(127);
  }
  ProgramRun run;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exitCode = WEXITSTATUS(status);
  }
  run.out = ReadFile(outPath).value_or("");
  run.err = ReadFile(errPath).value_or("");
  return run;
}

class QmtsrTest : public WorkflowTest {
 protected:
  std::vector<std::string> Common(const std::string& serviceUrl) const {
    return {"--service-url", serviceUrl, "--device-serial", "CLI-DEV",
            "--unique-key",  "CLI-KEY",  "--pin",           kPin};
  }
  std::vector<std::string> Enroll() const {
    std::vector<std::string> args{"enroll"};
    for (const std::string& a : Common(server_.url())) args.push_back(a);
    for (const std::string& a :
         {std::string("--code-otp-url"), server_.massEnrolmentUrl(), std::string("--check-url"),
          server_.checkEnrolmentUrl(), std::string("--user"), std::string(kUser),
          std::string("--password"), std::string(kPassword), std::string("--message"),
          std::string(kMessage), std::string("--rrdi"), std::string("RRDI42")}) {
      args.push_back(a);
    }
    return args;
  }
  std::vector<std::string> Otp(const std::string& serviceUrl) const {
    std::vector<std::string> args{"otp"};
    for (const std::string& a : Common(serviceUrl)) args.push_back(a);
    return args;
  }
};

TEST_F(QmtsrTest, EnrolsAndPrintsOtpsTheServerAccepts) {
  const ProgramRun enrol = RunQmtsr(Enroll());
  ASSERT_EQ(enrol.exitCode, 0) << enrol.err << server_.RequestLog();
  EXPECT_EQ(enrol.out, "enrolment confirmed (result 1000)\n");
  EXPECT_EQ(ReadFile(drive_.pinFile()), kPin);
  const std::string login = LastLogged(EnrollmentLog(), "Login OTP: ");

  for (int round = 0; round < 2; ++round) {
    const ProgramRun otp = RunQmtsr(Otp(server_.url()));
    ASSERT_EQ(otp.exitCode, 0) << otp.err;
    EXPECT_THAT(otp.out, MatchesRegex("[0-9a-z]{8}\n"));
    EXPECT_EQ(server_.Login(login, otp.out.substr(0, 8)), "OK");
  }
}

TEST_F(QmtsrTest, NamesTheFailingResultAndExitsNonZero) {
  ASSERT_EQ(RunQmtsr(Enroll()).exitCode, 0);
  const ProgramRun down = RunQmtsr(Otp("http://127.0.0.1:1"));
  EXPECT_EQ(down.exitCode, 1);
  EXPECT_EQ(down.out, "");
  EXPECT_THAT(down.err,
              HasSubstr("no OTP, result 1: no usable reply from the authentication service"));

  server_.ArmFault(
      R"({"kind":"http_status","value":503,"target":"backend","path":"enrollmentinit"})");
  const ProgramRun refused = RunQmtsr(Enroll());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.err,
              HasSubstr("enrolment failed with result 503: the enrolment back end answered HTTP "
                        "503"));
}

TEST_F(QmtsrTest, RejectsBadCommandLines) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"launch"},
                                               {"otp", "--bogus"},
                                               {"otp", "--timeout", "soon"},
                                               {"otp", "--check-url", "x"},
                                               {"enroll", "--service-url", "http://x"}}) {
    const ProgramRun run = RunQmtsr(args);
    EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
    EXPECT_THAT(run.err, HasSubstr("qmtsr: ")) << testing::PrintToString(args);
  }
  const ProgramRun noPin = RunQmtsr(
      {"otp", "--service-url", server_.url(), "--device-serial", "D", "--unique-key", "K"});
  EXPECT_EQ(noPin.exitCode, 1);
  EXPECT_THAT(noPin.err, HasSubstr("no PIN given"));
  const ProgramRun help = RunQmtsr({"enroll", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("--code-otp-url"));
}

}  // namespace
}  // namespace qmt_e2e
