// What a host meets in the field: a locked-down GEN folder, an unwritable seed, a damaged PIN
// file, a peer that never answers, a reply too large to hold, a test process that crashes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

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

constexpr char kSeedNotSaved[] =
    "The new seed value could not be saved, the old seed file is kept: ";

int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

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
    const std::string after = ReadFile(drive_.seedFile()).value_or("");
    const std::string log = AuthenticationLog();
    EXPECT_EQ(ModificationTime(drive_.seedFile()) != writtenBefore, !seedLocked);
    if (seedLocked) {
      EXPECT_EQ(after, before);
      EXPECT_THAT(LastLogged(log, kSeedNotSaved), HasSubstr("cannot open the file for writing"));
    } else {
      EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), after);
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
  drive_.WritePin(
      std::string("24\0"
                  "68",
                  5));
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

// Shortens the stall guard and the reply limits for one test, through the settings the
// library itself reads.
class ShortBounds {
 public:
  ShortBounds() : saved_(SRCppWrap::detail::Settings()) {
    SRCppWrap::detail::Settings().stallSeconds = 1;
    SRCppWrap::detail::Settings().backendReplyLimit = 4096;
    SRCppWrap::detail::Settings().serviceReplyLimit = 4096;
  }
  ~ShortBounds() { SRCppWrap::detail::Settings() = saved_; }
  ShortBounds(const ShortBounds&) = delete;
  ShortBounds& operator=(const ShortBounds&) = delete;

 private:
  SRCppWrap::detail::RuntimeSettings saved_;
};

TEST(TransferBounds, ADeadPeerOrAnOversizedReplyEndsAsAFailedTransfer) {
  const ShortBounds bounds;
  RecordingServer silent(200, "late", 4000);  // answers long after the 1 s stall bound
  RecordingServer huge(200, std::string(4097, 'x'));
  SRContext* context = SRInit(0, "serial", "key", SRCppWrap::detail::SdkTransport, nullptr);
  SRCppWrap::detail::AdoptContext(context);  // released when the library unloads

  SRCppWrap::QmtSR qmt;
  for (const std::string& url : {silent.url(), huge.url()}) {
    SCOPED_TRACE(url);
    std::string reply = "untouched";
    EXPECT_EQ(qmt.MakeCURLRequest(url, "{}", reply), 0);
    EXPECT_EQ(reply, "untouched");
    SRCppWrap::detail::SdkTransport(url.c_str(), 10000, nullptr);
    EXPECT_TRUE(context->response_body == nullptr || *context->response_body == '\0');
  }
}

bool Listening(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

TEST(DevServerProcess, EndsWhenTheTestProcessThatStartedItIsKilled) {
  int ports[2];
  ASSERT_EQ(::pipe(ports), 0);
  const pid_t test = ::fork();
  if (test == 0) {
    ::close(ports[0]);
    ::alarm(60);
    DevServerProcess server;
    const int port = server.port();
    if (::write(ports[1], &port, sizeof port) != sizeof port) ::_exit(1);
    ::pause();  // killed by the parent; the alarm bounds it should the parent be gone
    ::_exit(0);
  }
  ::close(ports[1]);
  int port = 0;
  const bool started = ::read(ports[0], &port, sizeof port) == sizeof port;
  ::close(ports[0]);
  ::kill(test, SIGKILL);
  ::waitpid(test, nullptr, 0);
  ASSERT_TRUE(started);
  bool stopped = false;
  for (int tries = 0; tries < 100 && !stopped; ++tries) {
    stopped = !Listening(port);
    if (!stopped) ::usleep(50 * 1000);
  }
  EXPECT_TRUE(stopped) << "the dev server outlived the test process that started it";
}

}  // namespace
}  // namespace qmt_e2e
