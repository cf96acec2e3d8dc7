// Opt-in peer verification (QMT_TLS_VERIFY, QMT_CA_BUNDLE): a certificate from an unknown CA is
// refused and the configured CA's accepted; by default, as documented, neither is checked.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "QmtSR.h"
#include "drive_root.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

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
  server.Put(".*", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("{}", "application/json");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&server] { server.listen_after_bind(); });
  for (int waited = 0; !server.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  const SRCppWrap::detail::RuntimeSettings saved = SRCppWrap::detail::Settings();
  const std::string ca = (std::filesystem::current_path() / "ca.pem").string();
  const struct {
    bool verify;
    std::string caBundle;
    long status;
  } cases[] = {{false, "", 200}, {true, "", 0}, {true, ca, 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caBundle);
    SRCppWrap::detail::Settings().verifyTls = c.verify;
    SRCppWrap::detail::Settings().caBundle = c.caBundle;
    std::string reply;
    SRCppWrap::QmtSR qmt;
    EXPECT_EQ(qmt.MakeCURLRequest("https://127.0.0.1:" + std::to_string(port) + "/", "{}", reply),
              c.status);
  }
  SRCppWrap::detail::Settings() = saved;
  server.stop();
  thread.join();
}

}  // namespace
}  // namespace qmt_e2e
