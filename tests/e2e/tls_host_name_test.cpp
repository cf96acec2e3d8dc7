// HTTPS peers on both paths: opt-in verification refuses a certificate from an unknown CA and
// accepts the configured CA's. By default the peer is not verified, but OpenSSL still checks
// the certificate's name against the URL; Schannel (the Windows build) checks nothing then.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstring>

#include "sdk/SRSdk.h"
#include "workflow_fixture.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

TEST(TlsVerification, OptInChecksTheCaAndTheDefaultOnlyTheNameUnderOpenSsl) {
  const auto saved = SRCppWrap::detail::Settings();
  SRContext* context = SRInit(0, "serial", "key", SRCppWrap::detail::SdkTransport, nullptr);
  SRCppWrap::detail::AdoptContext(context);  // released when replaced or at unload
  const std::string certs = std::string(E2E_CERT_DIR) + "/";
  const bool nameChecked =
      std::strncmp(curl_version_info(CURLVERSION_NOW)->ssl_version, "OpenSSL", 7) == 0;
  const struct {
    bool verify;
    std::string caBundle, cert;
    bool reached;
  } cases[] = {{false, "", "loopback", true},
               {true, "", "loopback", false},
               {true, certs + "ca.pem", "loopback", true},
               {false, "", "other", !nameChecked}};
  for (const auto& c : cases) {
    // Under Wine, Schannel's verification accepts the unknown CA and refuses the configured one.
    if (c.verify && !nameChecked) continue;
    SCOPED_TRACE(c.cert + (c.verify ? " verified against " + c.caBundle : ""));
    const DevServerProcess server(
        {"--cert", certs + c.cert + ".pem", "--key", certs + c.cert + ".key"});
    SRCppWrap::detail::Settings().verifyTls = c.verify;
    SRCppWrap::detail::Settings().caBundle = c.caBundle;
    const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/srws/MAC";
    std::string body;
    EXPECT_EQ(SRCppWrap::QmtSR().MakeCURLRequest(url, "{}", body) != 0, c.reached);
    SRWsResponseSet(context, "");  // the service path alike
    SRCppWrap::detail::SdkTransport(url.c_str(), 0, nullptr);
    EXPECT_EQ(*context->response_body != '\0', c.reached) << context->response_body;
  }
  SRCppWrap::detail::Settings() = saved;
}

}  // namespace
}  // namespace qmt_e2e
