// Activation and online OTP against the dev server's service code, every OTP checked against
// the one the service expects.
#include <gtest/gtest.h>

#include "sdk/context.h"
#include "service_peer.h"

namespace {

using devserver::FaultKind;

void ExpectNoFinalizeScratch(const SRContext* ctx) {
  EXPECT_TRUE(!ctx->finalize_data_key && !ctx->finalize_identity && !ctx->finalize_pin);
}

// For both OTP formats, a fixed or absent challenge, and each dK1 mode.
TEST(Activation, EnrolsTheDeviceAndItsOtpsMatchTheService) {
  const struct {
    const char* format;
    std::optional<int32_t> defi;
    devserver::Dk1Mode dk1;
  } cases[] = {{"8LC", std::nullopt, devserver::Dk1Mode::Activate},
               {"8C", 12345, devserver::Dk1Mode::Off},
               {"8LC", 0, devserver::Dk1Mode::Always},
               {"8C", -5, devserver::Dk1Mode::Always}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.defi.value_or(-1)));
    ServicePeer peer;
    peer.settings.otp_format = c.format;
    peer.settings.defi = c.defi;
    peer.settings.dk1 = c.dk1;
    peer.settings.server = "http://moved.test:9090";
    peer.Activate();
    SRContext* ctx = peer.ctx();
    // Setup, finalize, then the secrets follow-up at the server the finalize reply named.
    ASSERT_EQ(peer.urls.size(), 3u);
    EXPECT_EQ(peer.urls[2].rfind("http://moved.test:9090/srws/MAC?action=ActionFinalize&mode=ms"),
              0u);
    EXPECT_EQ(peer.ServerDevice().identity, "SER 0042/KEY/77/" + std::string(ctx->device_random));
    EXPECT_EQ(ctx->service_key_count, 2);
    ExpectNoFinalizeScratch(ctx);
    EXPECT_EQ(SRStorageDataChanged(ctx), 1);
    for (int32_t index : {0, 1, 0}) {
      ASSERT_EQ(peer.Otp(index), SR_OK) << index;
      EXPECT_EQ(peer.OtpText(), peer.ExpectedOtp()) << index;
      EXPECT_EQ(QueryItem(peer.urls.back(), "sid"), std::to_string(ctx->services[index].id));
      EXPECT_EQ(ctx->k1, peer.ServerDevice().k1);  // renewed by the OTP reply
    }
    // A message is acknowledged by the first OTP exchange after it arrived, and only once.
    EXPECT_EQ(QueryItem(peer.urls[4], "ack"), "2:");
    EXPECT_EQ(QueryItem(peer.urls.back(), "ack"), "");
  }
}

TEST(Activation, StepsOutOfOrderAreForbiddenAndSendNothing) {
  ServicePeer fresh;
  ASSERT_EQ(fresh.Start(), SR_OK);
  EXPECT_EQ(SROnlineOtpStart(fresh.ctx(), 0), SR_ERR_FORBIDDEN);  // setup done: still no OTP
  EXPECT_EQ(fresh.urls.size(), 1u);

  ServicePeer activated;
  activated.settings.pin_attempts = 2;
  activated.Activate();
  for (int32_t index : {-1, 2}) EXPECT_EQ(activated.Otp(index), SR_ERR_FORBIDDEN) << index;
  EXPECT_EQ(activated.Start(), SR_ERR_FORBIDDEN);
  // Wrong PINs block the device, which then sends nothing more.
  EXPECT_EQ(activated.Otp(0, "wrong"), SR_ERR_PINREFUSED);
  EXPECT_EQ(activated.Otp(0, "wrong"), SR_ERR_BLOCKED);
  EXPECT_EQ(activated.Otp(0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(activated.urls.size(), 7u);
}

// A refused or unusable reply ends the activation with no device, no follow-up and no scratch;
// a refused setup leaves no challenge or key and marks a block or a refused version.
TEST(Activation, RefusedAndUnusableReplies) {
  using K = FaultKind;  // HttpStatus: the transport fails
  const struct {
    const char* action;
    FaultKind kind;
    const char* text;
    int32_t start, finalize;
  } cases[] = {
      {"ActionSetup", K::Result, "NOK:CODE", SR_ERR_CODE, SR_ERR_STATE},
      {"ActionSetup", K::Result, "NOK:VERSION", SR_ERR_VERSION, SR_ERR_STATE},
      {"ActionSetup", K::Result, "OK:BLOCKED", SR_ERR_BLOCKED, SR_ERR_FORBIDDEN},
      {"ActionSetup", K::Result, "NOK", SR_ERR_NOK, SR_ERR_STATE},
      {"ActionSetup", K::Result, "NOK:SOMETHINGNEW", SR_ERR_NO_REPLY, SR_ERR_STATE},
      {"ActionSetup", K::HttpStatus, "", SR_ERR_NO_REPLY, SR_ERR_STATE},
      {"ActionSetup", K::Garbage, "", SR_ERR_NO_REPLY, SR_ERR_STATE},
      {"ActionSetup", K::NoErr, "", SR_ERR_NO_REPLY, SR_ERR_STATE},
      {"ActionFinalize", K::HttpStatus, "", SR_OK, SR_ERR_NO_REPLY},
      {"ActionFinalize", K::NoErr, "", SR_OK, SR_ERR_NO_REPLY},
      {"ActionFinalize", K::Result, "NOK:PINREFUSED", SR_OK, SR_ERR_PINREFUSED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " " + c.text);
    ServicePeer peer;
    peer.Arm(c.kind, c.action, "activate", c.text);
    EXPECT_EQ(peer.Start(), c.start);
    const bool setupFailed = c.start != SR_OK;
    EXPECT_EQ(*peer.ctx()->challenge == '\0' && *peer.ctx()->kfact == '\0', setupFailed);
    EXPECT_EQ(peer.Finalize(), c.finalize);
    EXPECT_EQ(peer.ctx()->blocked, c.start == SR_ERR_BLOCKED ? 1 : 0);
    EXPECT_EQ(peer.ctx()->version_refused, c.start == SR_ERR_VERSION ? 1 : 0);
    EXPECT_STREQ(peer.ctx()->device_id, "");
    ExpectNoFinalizeScratch(peer.ctx());
    EXPECT_LE(peer.urls.size(), 2u);
    if (setupFailed) continue;
    // A retry works, under a new identity: the service's challenge answers one finalize only.
    const std::string firstRandom = peer.ctx()->device_random;
    peer.Activate();
    EXPECT_NE(firstRandom, peer.ctx()->device_random);
    EXPECT_NE(QueryItem(peer.urls[1], "Kma"), QueryItem(peer.urls[3], "Kma"));
  }
}

// Every failure of the secrets follow-up gives 13; the finalize reply's sync block stays.
TEST(Activation, SecretsFollowUpFailuresGive13) {
  for (const std::string text : {"", "NOK:PINREFUSED", "NOK_BLOCKED", "NOK:NODEVICE"}) {
    const FaultKind kind = text.empty() ? FaultKind::Garbage : FaultKind::Result;
    ServicePeer peer;
    peer.Arm(kind, "ActionFinalize", "ms", text);
    ASSERT_EQ(peer.Start(), SR_OK);
    EXPECT_EQ(peer.Finalize(), SR_ERR_SYNCHROFAILED) << text;
    const bool reset = text == "NOK:NODEVICE";  // forgets the device, keys and all
    EXPECT_EQ(peer.ctx()->finalize_pin, nullptr);
    EXPECT_EQ(peer.ctx()->blocked, text == "NOK_BLOCKED" ? 1 : 0);
    EXPECT_EQ(*peer.ctx()->device_id == '\0', reset) << text;
    EXPECT_EQ(peer.ctx()->service_key_count, reset ? 0 : 2) << text;
  }
}

// A failed exchange keeps the earlier OTP; an unknown OTP format keeps the exchange's changes.
TEST(OnlineOtp, FailedExchangesKeepTheEarlierOtp) {
  ServicePeer peer;
  peer.Activate();
  ASSERT_EQ(peer.Otp(0), SR_OK);
  const std::string first = peer.OtpText();
  for (const char* action : {"ActionSetup", "ActionFinalize", static_cast<const char*>(nullptr)}) {
    if (action) peer.Arm(FaultKind::Garbage, action, "otp");
    peer.settings.otp_format = action ? "8LC" : "8lc";
    EXPECT_EQ(peer.Otp(0), action ? SR_ERR_NO_REPLY : SR_ERR_NOK);
    EXPECT_EQ(peer.OtpText(), first);
    ExpectNoFinalizeScratch(peer.ctx());
  }
  EXPECT_EQ(peer.ctx()->k1, peer.ServerDevice().k1);
}

}  // namespace
