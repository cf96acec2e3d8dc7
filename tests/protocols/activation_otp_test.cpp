// Activation and online OTP against the dev server's service code: real RSA, AES and proofs
// both ways, and every OTP checked against the one the service expects.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sdk/context.h"
#include "sdk/string_helpers.h"
#include "service_peer.h"

namespace {

using devserver::FaultKind;

TEST(Activation, EnrolsTheDeviceAndItsOtpsMatchTheService) {
  ServicePeer peer;
  peer.settings.server = "http://moved.test:9090";
  peer.Activate();
  SRContext* ctx = peer.ctx();

  // Setup, finalize, then the secrets follow-up at the server the finalize reply named.
  ASSERT_EQ(peer.urls.size(), 3u);
  EXPECT_EQ(peer.urls[2].rfind("http://moved.test:9090/srws/MAC?action=ActionFinalize&mode=ms", 0),
            0u);
  EXPECT_EQ(QueryItem(peer.urls[0], "version"), "0%2e2%2e7");
  EXPECT_EQ(QueryItem(peer.urls[1], "name"), "My+PC");
  const devserver::Device server = peer.ServerDevice();
  EXPECT_EQ(server.identity, "SER 0042/KEY/77/" + std::string(ctx->device_random));
  EXPECT_EQ(server.pin, ServicePeer::kPin);
  EXPECT_EQ(ctx->k0, server.k0);
  EXPECT_EQ(ctx->k1, server.k1);
  EXPECT_EQ(ctx->h_value, server.h);
  EXPECT_EQ(ctx->last_sync, 1700000000);
  ASSERT_EQ(ctx->service_count, 2);
  EXPECT_STREQ(ctx->services[1].name, "Workshop_portal");
  EXPECT_EQ(ctx->service_key_count, 2);
  EXPECT_EQ(ctx->finalize_data_key, nullptr);
  EXPECT_EQ(ctx->finalize_identity, nullptr);
  EXPECT_EQ(ctx->finalize_pin, nullptr);
  EXPECT_EQ(SRStorageDataChanged(ctx), 1);
  EXPECT_EQ(SRStorageDataChanged(ctx), 0);

  std::string previous;
  for (int32_t index : {0, 1, 0}) {
    ASSERT_EQ(peer.Otp(index), SR_OK) << index;
    EXPECT_EQ(peer.OtpText(), peer.ExpectedOtp()) << index;
    EXPECT_NE(peer.OtpText(), previous);
    EXPECT_EQ(QueryItem(peer.urls.back(), "sid"), std::to_string(ctx->services[index].id));
    EXPECT_EQ(ctx->k1, peer.ServerDevice().k1);  // renewed by the OTP reply
    previous = peer.OtpText();
  }
  // The message to acknowledge is acknowledged by the first OTP exchange after it arrived,
  // and only once.
  EXPECT_EQ(QueryItem(peer.urls[4], "ack"), "2:");
  EXPECT_EQ(QueryItem(peer.urls.back(), "ack"), "");
}

TEST(Activation, SavedStateGivesTheSameOtpsInAFreshContext) {
  ServicePeer peer;
  peer.Activate();
  char* saved = SRStorageDataGet(peer.ctx());
  ContextPtr fresh(SRInit(0, "SER 0042", "KEY/77", NoTransport, nullptr));
  ASSERT_EQ(SRStorageDataSet(fresh.get(), saved), SR_OK);
  srFree(saved);
  peer.Attach(fresh.get());
  ASSERT_EQ(peer.Otp(1), SR_OK);
  EXPECT_EQ(peer.OtpText(), peer.ExpectedOtp());
}

TEST(Activation, StateTable) {
  ServicePeer fresh;
  EXPECT_EQ(SROnlineOtpStart(fresh.ctx(), 0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(SROnlineOtpFinalize(fresh.ctx(), 0, ServicePeer::kPin), SR_ERR_FORBIDDEN);
  ASSERT_EQ(fresh.Start(), SR_OK);  // setup done: still no OTP
  EXPECT_EQ(SROnlineOtpStart(fresh.ctx(), 0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(fresh.urls.size(), 1u);

  ServicePeer activated;
  activated.Activate();
  const size_t sent = activated.urls.size();
  EXPECT_EQ(activated.Start(), SR_ERR_FORBIDDEN);
  EXPECT_EQ(activated.Finalize(), SR_ERR_FORBIDDEN);
  for (int32_t index : {-1, 2, 1000}) {
    EXPECT_EQ(SROnlineOtpStart(activated.ctx(), index), SR_ERR_FORBIDDEN) << index;
    EXPECT_EQ(SROnlineOtpFinalize(activated.ctx(), index, ServicePeer::kPin), SR_ERR_FORBIDDEN);
  }
  EXPECT_EQ(activated.urls.size(), sent);
}

TEST(Activation, WrongPinsBlockTheDevice) {
  ServicePeer peer;
  peer.settings.pin_attempts = 2;
  peer.Activate();
  EXPECT_EQ(peer.Otp(0, "wrong"), SR_ERR_PINREFUSED);
  EXPECT_EQ(peer.ctx()->blocked, 0);
  EXPECT_EQ(peer.Otp(0, "wrong"), SR_ERR_BLOCKED);
  EXPECT_EQ(peer.ctx()->blocked, 1);
  const size_t sent = peer.urls.size();
  EXPECT_EQ(peer.Otp(0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(peer.Start(), SR_ERR_FORBIDDEN);
  EXPECT_EQ(peer.urls.size(), sent);
}

// A refused setup leaves no challenge or key behind, and marks a block or a refused version.
TEST(Activation, SetupResultCodes) {
  // Every text's code is tabled with the exchange's own tests; these show what the step
  // keeps of a refusal.
  const std::pair<const char*, int32_t> cases[] = {
      {"NOK:CODE", SR_ERR_CODE},
      {"NOK:VERSION", SR_ERR_VERSION},
      {"NOK_BLOCKED", SR_ERR_BLOCKED},
      {"OK:BLOCKED", SR_ERR_BLOCKED},
      {"NOK", SR_ERR_NOK},
      {"NOK:SOMETHINGNEW", SR_ERR_NO_REPLY},
  };
  for (const auto& [text, code] : cases) {
    ServicePeer peer;
    peer.Arm(FaultKind::Result, "ActionSetup", "activate", text);
    EXPECT_EQ(peer.Start(), code) << text;
    EXPECT_EQ(peer.ctx()->blocked, code == SR_ERR_BLOCKED ? 1 : 0) << text;
    EXPECT_EQ(peer.ctx()->version_refused, code == SR_ERR_VERSION ? 1 : 0) << text;
    EXPECT_STREQ(peer.ctx()->challenge, "");
    EXPECT_STREQ(peer.ctx()->kfact, "");
  }
}

TEST(Activation, UnusableRepliesGiveNoReply) {
  struct Case {
    const char* name;
    const char* action;
    std::optional<std::string> body;
    FaultKind kind;
    int replaced;  // request number whose body is replaced, or -1 to use the fault
    int32_t start, finalize;
  };
  const Case cases[] = {
      {"setup without body", "ActionSetup", std::nullopt, FaultKind::Empty, 0, 1, 8},
      {"setup unclosed", "ActionSetup", "<reply><err>OK</reply>", FaultKind::Empty, 0, 1, 8},
      {"setup empty", "ActionSetup", "", FaultKind::Empty, -1, 1, 8},
      {"setup garbage", "ActionSetup", "", FaultKind::Garbage, -1, 1, 8},
      {"setup without err", "ActionSetup", "", FaultKind::NoErr, -1, 1, 8},
      {"finalize without body", "ActionFinalize", std::nullopt, FaultKind::Empty, 1, 0, 1},
      {"finalize without err", "ActionFinalize", "", FaultKind::NoErr, -1, 0, 1},
      {"finalize refused", "ActionFinalize", "<r><err>NOK:PINREFUSED</err><id>x</id></r>",
       FaultKind::Empty, 1, 0, 15},
  };
  for (const Case& c : cases) {
    ServicePeer peer;
    if (c.replaced >= 0) {
      peer.Replace(c.replaced, c.body);
    } else {
      peer.Arm(c.kind, c.action, "activate");
    }
    EXPECT_EQ(peer.Start(), c.start) << c.name;
    EXPECT_EQ(peer.Finalize(), c.finalize) << c.name;
    EXPECT_STREQ(peer.ctx()->device_id, "") << c.name;
    EXPECT_EQ(peer.ctx()->finalize_data_key, nullptr);
    EXPECT_EQ(peer.ctx()->finalize_identity, nullptr);
    EXPECT_EQ(peer.ctx()->finalize_pin, nullptr);
    EXPECT_LE(peer.urls.size(), 2u) << c.name;  // no follow-up
  }
}

TEST(Activation, RetryAfterFailedFinalizeUsesANewIdentity) {
  ServicePeer peer;
  peer.Arm(FaultKind::Result, "ActionFinalize", "activate", "NOK:PINREUSED");
  ASSERT_EQ(peer.Start(), SR_OK);
  ASSERT_EQ(peer.Finalize(), SR_ERR_PINREUSED);
  const std::string firstRandom = peer.ctx()->device_random;
  EXPECT_EQ(firstRandom.size(), 32u);
  EXPECT_STREQ(peer.ctx()->device_id, "");
  ASSERT_EQ(peer.Start(), SR_OK);  // the service's challenge answers one finalize only
  ASSERT_EQ(peer.Finalize(), SR_OK);
  EXPECT_NE(firstRandom, peer.ctx()->device_random);
  EXPECT_NE(QueryItem(peer.urls[1], "Kma"), QueryItem(peer.urls[3], "Kma"));
  ASSERT_EQ(peer.Otp(0), SR_OK);
  EXPECT_EQ(peer.OtpText(), peer.ExpectedOtp());
}

// Every failure of the secrets follow-up gives 13; the finalize reply's sync block stays.
TEST(Activation, SecretsFollowUpFailuresGive13) {
  const std::pair<FaultKind, const char*> cases[] = {
      {FaultKind::Empty, ""},
      {FaultKind::Garbage, ""},
      {FaultKind::NoErr, ""},
      {FaultKind::Result, "NOK:PINREFUSED"},
      {FaultKind::Result, "NOK_BLOCKED"},
      {FaultKind::Result, "NOK:NODEVICE"},
  };
  for (const auto& [kind, text] : cases) {
    ServicePeer peer;
    peer.Arm(kind, "ActionFinalize", "ms", text);
    ASSERT_EQ(peer.Start(), SR_OK);
    EXPECT_EQ(peer.Finalize(), SR_ERR_SYNCHROFAILED) << text;
    SRContext* ctx = peer.ctx();
    EXPECT_EQ(ctx->finalize_pin, nullptr);
    EXPECT_STREQ(ctx->request_mode, "ms");
    if (std::string(text) == "NOK:NODEVICE") {
      EXPECT_STREQ(ctx->device_id, "");  // reset, keys and all
      EXPECT_EQ(ctx->service_key_count, 0);
      continue;
    }
    EXPECT_EQ(ctx->blocked, std::string(text) == "NOK_BLOCKED" ? 1 : 0);
    EXPECT_STRNE(ctx->device_id, "");
    EXPECT_EQ(ctx->service_key_count, 2);  // the keys made for the follow-up stay
  }
}

// The OTP matches the service's for both formats, a fixed or absent challenge, and dK1.
TEST(OnlineOtp, FormatsChallengesAndDiversification) {
  struct Case {
    const char* format;
    std::optional<int32_t> defi;
    devserver::Dk1Mode dk1;
  };
  const Case cases[] = {{"8LC", std::nullopt, devserver::Dk1Mode::Activate},
                        {"8C", 12345, devserver::Dk1Mode::Off},
                        {"8LC", 0, devserver::Dk1Mode::Always},
                        {"8C", -5, devserver::Dk1Mode::Always}};
  for (const Case& c : cases) {
    ServicePeer peer;
    peer.settings.otp_format = c.format;
    peer.settings.defi = c.defi;
    peer.settings.dk1 = c.dk1;
    peer.Activate();
    for (int32_t index : {0, 1}) {
      ASSERT_EQ(peer.Otp(index), SR_OK) << c.format;
      const std::string otp = peer.OtpText();
      EXPECT_EQ(otp, peer.ExpectedOtp()) << c.format << " " << c.defi.value_or(-1) << " " << index;
      EXPECT_EQ(otp.size(), 8u);
      if (std::string(c.format) == "8C") {
        EXPECT_EQ(otp.find_first_not_of("0123456789"), otp.npos);
      }
    }
  }
}

TEST(OnlineOtp, UnknownFormatGives999AndKeepsTheEarlierOtp) {
  ServicePeer peer;
  peer.Activate();
  EXPECT_EQ(SROnlineOtpGet(peer.ctx()), nullptr);
  ASSERT_EQ(peer.Otp(0), SR_OK);
  const std::string first = peer.OtpText();
  for (const char* format : {"8lc", "", "6C"}) {
    peer.settings.otp_format = format;
    EXPECT_EQ(peer.Otp(0), SR_ERR_NOK) << format;
    EXPECT_EQ(peer.OtpText(), first);
    EXPECT_EQ(peer.ctx()->k1, peer.ServerDevice().k1);  // the exchange's changes stay
  }
}

TEST(OnlineOtp, FailedExchangesKeepTheEarlierOtp) {
  const std::pair<const char*, int32_t> cases[] = {{"ActionSetup", SR_ERR_NO_REPLY},
                                                   {"ActionFinalize", SR_ERR_NO_REPLY}};
  for (const auto& [action, code] : cases) {
    ServicePeer peer;
    peer.Activate();
    ASSERT_EQ(peer.Otp(0), SR_OK);
    const std::string first = peer.OtpText();
    peer.Arm(FaultKind::Garbage, action, "otp");
    EXPECT_EQ(peer.Otp(0), code) << action;
    EXPECT_EQ(peer.OtpText(), first);
    EXPECT_EQ(peer.ctx()->finalize_data_key, nullptr);
    EXPECT_EQ(peer.ctx()->finalize_pin, nullptr);
  }
}

TEST(OnlineOtp, NoDeviceForgetsTheEnrolment) {
  ServicePeer peer;
  peer.Activate();
  peer.Arm(FaultKind::Result, "ActionSetup", "otp", "NOK:NODEVICE");
  EXPECT_EQ(peer.Otp(0), SR_ERR_NODEVICE);
  EXPECT_STREQ(peer.ctx()->device_id, "");
  EXPECT_STREQ(peer.ctx()->k1, "");
  EXPECT_EQ(peer.ctx()->service_count, 0);
  EXPECT_EQ(peer.ctx()->service_key_count, 0);
  EXPECT_EQ(SRStorageDataChanged(peer.ctx()), 1);
  EXPECT_EQ(peer.Otp(0), SR_ERR_FORBIDDEN);
}

TEST(OnlineOtp, ServiceListShrinkingBelowTheIndexForbidsIt) {
  ServicePeer peer;
  peer.Activate();
  peer.settings.services.pop_back();
  ASSERT_EQ(peer.Otp(0), SR_OK);  // its sync block lists one service
  const std::string first = peer.OtpText();
  const size_t sent = peer.urls.size();
  EXPECT_EQ(peer.Otp(1), SR_ERR_FORBIDDEN);
  EXPECT_EQ(peer.urls.size(), sent);
  EXPECT_EQ(peer.OtpText(), first);
  EXPECT_EQ(peer.ctx()->service_count, 1);
}

}  // namespace
