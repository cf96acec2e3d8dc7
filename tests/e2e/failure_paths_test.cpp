// What a host meets in the field: a locked-down GEN folder, an unwritable seed, a damaged PIN
// file and an HTTPS peer to verify.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "platform/in_place_file.h"
#include "sdk/SRSdk.h"
#include "support/immutable_flag.h"
#include "workflow_fixture.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

using testing::HasSubstr;
constexpr char kSeedNotSaved[] =
    "The new seed value could not be saved, the old seed file is kept: ";
constexpr char kSeedNotRestored[] =
    "The new seed value could not be saved and the old seed file could not be restored: ";

TEST_F(WorkflowTest, ALockedGenFolderStillTakesTheNewSeedOrTheLogSaysItWasNot) {
  const std::string login = EnrolOrFail();
  static const char* refused;  // in-place steps made to fail
  SRCppWrap::platform::g_inPlaceStepAllowed = [](const char* step) {
    return refused == nullptr || std::strstr(refused, step) == nullptr;
  };
  const struct {
    bool seedLocked;
    const char* refuse;
  } cases[] = {{false, nullptr}, {true, nullptr}, {false, "truncate restore"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seedLocked ? "seed file locked too" : c.refuse ? "no restore" : "GEN locked");
    const std::string before = ReadFile(drive_.seedFile());
    // An hour back, so that a rewrite cannot go unnoticed.
    fs::last_write_time(drive_.seedFile(),
                        fs::last_write_time(drive_.seedFile()) - std::chrono::hours(1));
    const auto writtenBefore = fs::last_write_time(drive_.seedFile());
    std::optional<qmt_test::ImmutableFlag> seed;
    if (c.seedLocked) seed.emplace(drive_.seedFile());
    qmt_test::ImmutableFlag gen(drive_.gen());
    QMT_REQUIRE_IMMUTABLE(gen);
    if (c.seedLocked) QMT_REQUIRE_IMMUTABLE(*seed);
    refused = c.refuse;

    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0) << server_.RequestLog();
    EXPECT_EQ(server_.Login(login, otp), "OK");
    const std::string log = AuthenticationLog();
    EXPECT_EQ(fs::last_write_time(drive_.seedFile()) != writtenBefore, !c.seedLocked);
    EXPECT_EQ(CountLogged(log, kSeedNotRestored), c.refuse ? 1 : 0);
    if (c.seedLocked) {
      EXPECT_EQ(ReadFile(drive_.seedFile()), before);
      EXPECT_THAT(LastLogged(log, kSeedNotSaved), HasSubstr("cannot open the file for writing"));
    } else if (!c.refuse) {
      EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), ReadFile(drive_.seedFile()));
      EXPECT_EQ(CountLogged(log, kSeedNotSaved), 0);
    }
  }
  SRCppWrap::platform::g_inPlaceStepAllowed = nullptr;
}

TEST_F(WorkflowTest, AnEnrolmentWhoseSeedCannotBeSavedIsNotConfirmed) {
  fs::create_directories(drive_.seedFile() / "in-the-way");
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
  EXPECT_FALSE(fs::exists(drive_.statusFile()));
}

TEST_F(WorkflowTest, APinHoldingAZeroByteIsRefusedBeforeItIsSent) {
  EnrolOrFail();
  drive_.WritePin(
      std::string("24\0"
                  "8",
                  4));
  const auto serviceRequests = [this] {
    const std::string log = server_.RequestLog();
    int count = 0;
    const std::string mac = "/srws/MAC";
    for (auto at = log.find(mac); at != std::string::npos; at = log.find(mac, at + 1)) {
      ++count;
    }
    return count;
  };
  const int requestsBefore = serviceRequests();
  SRCppWrap::QmtSR qmt;
  Configure(qmt, 1);
  std::string otp;
  EXPECT_EQ(qmt.GetOTPforAuthentication(otp), SR_ERR_PINREFUSED);
  EXPECT_EQ(otp, "");
  EXPECT_EQ(serviceRequests(), requestsBefore + 1);  // only the OTP start, which carries no PIN
  EXPECT_EQ(CountLogged(AuthenticationLog(), "The PIN file holds a zero byte"), 1);
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
  const auto reply = [](const httplib::Request&, httplib::Response& r) { r.set_content("{}", ""); };
  server.Put(".*", reply).Get(".*", reply);
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&server] { server.listen_after_bind(); });
  for (int waited = 0; !server.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  const auto saved = SRCppWrap::detail::Settings();
  SRContext* context = SRInit(0, "serial", "key", SRCppWrap::detail::SdkTransport, nullptr);
  SRCppWrap::detail::AdoptContext(context);  // released when the library unloads
  const std::string ca = (fs::current_path() / "ca.pem").string();
  const struct {
    bool verify;
    std::string caBundle;
    long status;
  } cases[] = {{false, "", 200}, {true, "", 0}, {true, ca, 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caBundle);
    SRCppWrap::detail::Settings().verifyTls = c.verify;
    SRCppWrap::detail::Settings().caBundle = c.caBundle;
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    std::string body;
    EXPECT_EQ(SRCppWrap::QmtSR().MakeCURLRequest(url, "{}", body), c.status);
    SRWsResponseSet(context, "");  // the service path alike
    SRCppWrap::detail::SdkTransport(url.c_str(), 0, nullptr);
    EXPECT_STREQ(context->response_body, c.status == 200 ? "{}" : "");
  }
  SRCppWrap::detail::Settings() = saved;
  server.stop();
  thread.join();
}

}  // namespace
}  // namespace qmt_e2e
