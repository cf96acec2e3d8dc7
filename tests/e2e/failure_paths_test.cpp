// What a host meets in the field: a locked-down GEN folder, an unwritable seed, a damaged PIN
// file, a peer that never answers or answers too much, an HTTPS peer to verify, kills during
// OTP runs, and a test process that crashes with its server running.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "recording_server.h"
#include "sdk/SRSdk.h"
#include "support/immutable_flag.h"
#include "workflow_fixture.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

using qmt_test::ImmutableFlag;
using testing::HasSubstr;
namespace detail = SRCppWrap::detail;

constexpr char kSeedNotSaved[] =
    "The new seed value could not be saved, the old seed file is kept: ";

int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

// Tests change the library's own settings; this puts them back.
struct SettingsRestorer {
  detail::RuntimeSettings saved = detail::Settings();
  ~SettingsRestorer() { detail::Settings() = saved; }
};

TEST_F(WorkflowTest, ALockedGenFolderStillTakesTheNewSeedOrTheLogSaysItWasNot) {
  const std::string login = EnrolOrFail();
  for (const bool seedLocked : {false, true}) {
    SCOPED_TRACE(seedLocked ? "seed file locked too" : "GEN folder locked");
    const std::string before = ReadFile(drive_.seedFile()).value_or("");
    AgeFile(drive_.seedFile());
    const auto writtenBefore = ModificationTime(drive_.seedFile());
    std::optional<ImmutableFlag> seed;
    if (seedLocked) seed.emplace(drive_.seedFile());
    ImmutableFlag gen(drive_.gen());
    QMT_REQUIRE_IMMUTABLE(gen);
    if (seedLocked) QMT_REQUIRE_IMMUTABLE(*seed);

    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0) << server_.RequestLog();
    EXPECT_EQ(server_.Login(login, otp), "OK");
    const std::string log = AuthenticationLog();
    EXPECT_EQ(ModificationTime(drive_.seedFile()) != writtenBefore, !seedLocked);
    if (seedLocked) {
      EXPECT_EQ(ReadFile(drive_.seedFile()), before);
      EXPECT_THAT(LastLogged(log, kSeedNotSaved), HasSubstr("cannot open the file for writing"));
    } else {
      EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), ReadFile(drive_.seedFile()));
      EXPECT_EQ(CountLogged(log, kSeedNotSaved), 0);
    }
  }
}

TEST_F(WorkflowTest, AnEnrolmentWhoseSeedCannotBeSavedIsNotConfirmed) {
  std::filesystem::create_directories(drive_.seedFile() / "in-the-way");
  drive_.WritePin(kPin);
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 0);
  bool reached = false;
  EXPECT_EQ(qmt.EnrollmentProcess(server_.massEnrolmentUrl(), kMessage, kUser, kPassword, reached),
            200);
  const std::string log = EnrollmentLog();
  EXPECT_EQ(CountLogged(log, kSeedNotSaved), 1);
  EXPECT_EQ(CountLogged(log, "Enrollment not confirmed: the seed could not be saved"), 1);
  EXPECT_EQ(CountLogged(log, "Request to Sentrel Check Enrollment url: "), 0);
  EXPECT_FALSE(std::filesystem::exists(drive_.statusFile()));
}

TEST_F(WorkflowTest, APinHoldingAZeroByteIsRefusedBeforeItIsSent) {
  EnrolOrFail();
  std::string pin = kPin;
  pin[2] = '\0';
  drive_.WritePin(pin);
  const int requestsBefore = CountOf(server_.RequestLog(), "/srws/MAC");
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), SR_ERR_PINREFUSED);
  EXPECT_EQ(otp, "");
  // Only the OTP start, which carries no PIN, went out.
  EXPECT_EQ(CountOf(server_.RequestLog(), "/srws/MAC"), requestsBefore + 1);
  EXPECT_EQ(CountLogged(AuthenticationLog(), "The PIN file holds a zero byte"), 1);
}

TEST(TransferBounds, ADeadPeerOrAnOversizedReplyEndsAsAFailedTransfer) {
  const SettingsRestorer restore;
  detail::Settings().stallSeconds = 1;
  detail::Settings().backendReplyLimit = detail::Settings().serviceReplyLimit = 4096;
  RecordingServer silent(200, "late", 4000);  // answers long after the 1 s stall bound
  RecordingServer huge(200, std::string(4097, 'x'));
  SRContext* context = SRInit(0, "serial", "key", detail::SdkTransport, nullptr);
  detail::AdoptContext(context);  // released when the library unloads

  SRCppWrap::QmtSR qmt;
  for (const std::string& url : {silent.url(), huge.url()}) {
    SCOPED_TRACE(url);
    std::string reply = "untouched";
    EXPECT_EQ(qmt.MakeCURLRequest(url, "{}", reply), 0);
    EXPECT_EQ(reply, "untouched");
    detail::SdkTransport(url.c_str(), 10000, nullptr);
    EXPECT_TRUE(context->response_body == nullptr || *context->response_body == '\0');
  }
}

// Opt-in verification: a certificate from an unknown CA is refused, the configured CA's
// accepted; by default, as documented, neither is checked.
TEST(TlsVerification, RefusesAnUnknownCaAndAcceptsTheConfiguredOne) {
  const DriveRoot folder;  // a private working directory for the test CA
  ASSERT_EQ(std::system("openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem "
                        "-subj /CN=qmt-test-ca -days 1 2>/dev/null && "
                        "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
                        "-subj /CN=127.0.0.1 2>/dev/null && "
                        "echo subjectAltName=IP:127.0.0.1 >san.ext && "
                        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
                        "-days 1 -extfile san.ext -out server.pem 2>/dev/null"),
            0);
  httplib::SSLServer server("server.pem", "server.key");
  server.Put(".*", [](const httplib::Request&, httplib::Response& r) { r.set_content("{}", ""); });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&server] { server.listen_after_bind(); });
  for (int waited = 0; !server.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  const SettingsRestorer restore;
  const std::string ca = (std::filesystem::current_path() / "ca.pem").string();
  const struct {
    bool verify;
    std::string caBundle;
    long status;
  } cases[] = {{false, "", 200}, {true, "", 0}, {true, ca, 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caBundle);
    detail::Settings().verifyTls = c.verify;
    detail::Settings().caBundle = c.caBundle;
    std::string reply;
    SRCppWrap::QmtSR qmt;
    EXPECT_EQ(qmt.MakeCURLRequest("https://127.0.0.1:" + std::to_string(port) + "/", "{}", reply),
              c.status);
  }
  server.stop();
  thread.join();
}

TEST(DevServerProcess, EndsWhenTheTestProcessThatStartedItIsKilled) {
  int ports[2];
  ASSERT_EQ(::pipe(ports), 0);
  const pid_t test = ::fork();
  if (test == 0) {
    ::alarm(60);  // bounds the child should the parent be gone
    DevServerProcess server;
    const int port = server.port();
    if (::write(ports[1], &port, sizeof port) == sizeof port) ::pause();  // until killed
    ::_exit(1);
  }
  ::close(ports[1]);
  int port = 0;
  const bool started = ::read(ports[0], &port, sizeof port) == sizeof port;
  ::close(ports[0]);
  ::kill(test, SIGKILL);
  ::waitpid(test, nullptr, 0);
  ASSERT_TRUE(started);
  bool listening = true;
  for (int tries = 0; tries < 100 && listening; ++tries) {
    listening = static_cast<bool>(httplib::Client("127.0.0.1", port).Get("/"));
    if (listening) ::usleep(50 * 1000);
  }
  EXPECT_FALSE(listening) << "the dev server outlived the test process that started it";
}

#ifdef QMTSR_CLI_PATH
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

// The secrets reach qmtsr through files and standard input, never its command line.
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
  EXPECT_EQ(std::filesystem::status(drive_.seedFile()).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string login = LastLogged(EnrollmentLog(), "Login OTP: ");

  std::vector<std::string> otp = {"otp", "--pin-file", "-"};
  otp.insert(otp.end(), device.begin(), device.end());
  pid_t run = 0;
  for (int kill = 0; kill < 30; ++kill) {
    run = StartQmtsr(otp, "pin.txt");
    ::usleep(static_cast<useconds_t>((kill * 7919) % 40000));  // spread over a whole run
    ::kill(run, SIGKILL);
    ExitCode(run);
    const std::string seed = ReadFile(drive_.seedFile()).value_or("");
    ASSERT_EQ(seed.rfind("0.2.7&&", 0), 0u) << "after kill " << kill << ": '" << seed << "'";
  }

  // What a kill between writing and renaming leaves; its process has ended.
  WriteFile(drive_.gen() / ("seed.data.tmp-" + std::to_string(run) + "-1"), "a copy of the seed");
  ::setenv("QMT_LOG_SECRETS", "0", 1);  // the clean run keeps its secrets out of the log
  const int cleanRun = ExitCode(StartQmtsr(otp, "pin.txt"));
  ::unsetenv("QMT_LOG_SECRETS");
  ASSERT_EQ(cleanRun, 0) << server_.RequestLog();
  const std::string printed = ReadFile("qmtsr.out").value_or("");
  EXPECT_EQ(server_.Login(login, printed.substr(0, 8)), "OK");
  for (const char* line : {"Toolvex Pin to get OTP: ", "OTP value: ", "New seed value from "}) {
    EXPECT_THAT(LastLogged(AuthenticationLog(), line), testing::EndsWith("XXXX")) << line;
  }
  for (const auto& entry : std::filesystem::directory_iterator(drive_.gen())) {
    EXPECT_THAT(entry.path().filename().string(), testing::Not(HasSubstr(".tmp-")));
  }
}
#endif

}  // namespace
}  // namespace qmt_e2e
