// What a host meets in the field: a locked-down GEN folder and an HTTPS peer to verify (an
// unwritable seed and a damaged PIN file are workflows with transcripts).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

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

TEST_F(WorkflowTest, ALockedGenFolderStillTakesTheNewSeedOrTheLogSaysItWasNot) {
  const std::string login = EnrolOrFail();
  for (const bool seedLocked : {false, true}) {
    SCOPED_TRACE(seedLocked ? "seed file locked too" : "GEN folder locked");
    const std::string before = ReadFile(drive_.seedFile());
    // An hour back, so that a rewrite cannot go unnoticed.
    fs::last_write_time(drive_.seedFile(),
                        fs::last_write_time(drive_.seedFile()) - std::chrono::hours(1));
    const auto writtenBefore = fs::last_write_time(drive_.seedFile());
    std::optional<qmt_test::ImmutableFlag> seed;
    if (seedLocked) seed.emplace(drive_.seedFile());
    qmt_test::ImmutableFlag gen(drive_.gen());
    QMT_REQUIRE_IMMUTABLE(gen);
    if (seedLocked) QMT_REQUIRE_IMMUTABLE(*seed);

    SRCppWrap::QmtSR qmt;
    Configure(qmt, 1);
    std::string otp;
    ASSERT_EQ(qmt.GetOTPforAuthentication(otp), 0) << server_.RequestLog();
    EXPECT_EQ(server_.Login(login, otp), "OK");
    const std::string log = AuthenticationLog();
    EXPECT_EQ(fs::last_write_time(drive_.seedFile()) != writtenBefore, !seedLocked);
    if (seedLocked) {
      EXPECT_EQ(ReadFile(drive_.seedFile()), before);
      EXPECT_THAT(LastLogged(log, kSeedNotSaved), HasSubstr("cannot open the file for writing"));
    } else {
      EXPECT_EQ(LastLogged(log, "New seed value from sentrel: "), ReadFile(drive_.seedFile()));
      EXPECT_EQ(CountLogged(log, kSeedNotSaved), 0);
    }
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
