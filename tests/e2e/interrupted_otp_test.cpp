// qmtsr killed in the middle of OTP runs: the seed is never missing, empty or damaged, and the
// next clean run leaves no temporary file behind. The secrets reach qmtsr through files.
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

namespace fs = std::filesystem;
using testing::MatchesRegex;

// Starts qmtsr with standard input from `input` and its output in qmtsr.out.
pid_t StartQmtsr(const std::vector<std::string>& args, const std::string& input) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(input.c_str(), O_RDONLY), STDIN_FILENO);
    ::dup2(::open("qmtsr.out", O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
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

std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name.find(".tmp-") != std::string::npos) names.push_back(name);
  }
  return names;
}

TEST_F(WorkflowTest, KillsDuringOtpRunsNeverDamageTheSeedNorLeaveDebris) {
  WriteFile("pin.txt", std::string(kPin) + "\n");
  WriteFile("password.txt", kPassword);
  WriteFile("message.json", kMessage);
  const std::vector<std::string> device = {
      "--service-url", server_.url(), "--device-serial", "DEV-0001",       "--unique-key",
      kUniqueKey,      "--macid",     "mac-1",           "--host-version", "9.1"};
  std::vector<std::string> enroll = {"enroll",
                                     "--code-otp-url",
                                     server_.massEnrolmentUrl(),
                                     "--check-url",
                                     server_.checkEnrolmentUrl(),
                                     "--user",
                                     kUser,
                                     "--password-file",
                                     "password.txt",
                                     "--message-file",
                                     "-",
                                     "--pin-file",
                                     "pin.txt"};
  enroll.insert(enroll.end(), device.begin(), device.end());
  ASSERT_EQ(ExitCode(StartQmtsr(enroll, "message.json")), 0) << server_.RequestLog();
  const std::string login = LastLogged(EnrollmentLog(), "Login OTP: ");

  std::vector<std::string> otp = {"otp", "--pin-file", "-"};
  otp.insert(otp.end(), device.begin(), device.end());
  for (int kill = 0; kill < 30; ++kill) {
    const pid_t run = StartQmtsr(otp, "pin.txt");
    ::usleep(static_cast<useconds_t>((kill * 7919) % 40000));  // spread over a whole run
    ::kill(run, SIGKILL);
    ExitCode(run);
    const std::string seed = ReadFile(drive_.seedFile()).value_or("");
    ASSERT_EQ(seed.rfind("0.2.7&&", 0), 0u) << "after kill " << kill << ": '" << seed << "'";
  }

  ::setenv("QMT_LOG_SECRETS", "0", 1);  // the clean run keeps its secrets out of the log
  const int cleanRun = ExitCode(StartQmtsr(otp, "pin.txt"));
  ::unsetenv("QMT_LOG_SECRETS");
  ASSERT_EQ(cleanRun, 0) << server_.RequestLog();
  for (const char* secret :
       {"Toolvex Pin to get OTP: ", "OTP value: ", "New seed value from sentrel: "}) {
    EXPECT_EQ(LastLogged(AuthenticationLog(), secret).substr(0, 4), "XXXX") << secret;
  }
  const std::string printed = ReadFile("qmtsr.out").value_or("");
  EXPECT_THAT(printed, MatchesRegex("[0-9a-z]{8}\n"));
  EXPECT_EQ(server_.Login(login, printed.substr(0, 8)), "OK");
  EXPECT_EQ(TemporaryFiles(drive_.gen()), std::vector<std::string>{});
}

}  // namespace
}  // namespace qmt_e2e
