// With peer verification off (the default) OpenSSL still checks the certificate's name against
// the URL, so a peer with another host's certificate gets no request; Schannel (the Windows
// build) checks nothing then.
#include <gtest/gtest.h>

#include "workflow_fixture.h"

namespace qmt_e2e {
namespace {

#ifdef _WIN32
constexpr bool kNameChecked = false;
#else
constexpr bool kNameChecked = true;
#endif

TEST(TlsHostName, IsCheckedWithPeerVerificationOffExceptUnderSchannel) {
  for (const auto& [cert, reached] :
       {std::pair{"loopback", true}, std::pair{"other", !kNameChecked}}) {
    SCOPED_TRACE(cert);
    const std::string pem = std::string(E2E_CERT_DIR) + "/" + cert;
    const DevServerProcess server({"--cert", pem + ".pem", "--key", pem + ".key"});
    std::string reply;
    const long status = SRCppWrap::QmtSR().MakeCURLRequest(
        "https://127.0.0.1:" + std::to_string(server.port()) + "/api/checkenrollment", "{}", reply);
    EXPECT_EQ(status != 0, reached) << status;
  }
}

}  // namespace
}  // namespace qmt_e2e
