// Activation and online OTP against the fake service: real RSA and AES both ways, proofs and
// OTPs checked against the service's own OpenSSL computations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "device.h"
#include "reply_doc.h"
#include "sdk/context.h"
#include "sdk/crypto/random.h"

namespace {

using fake::Elements;

TEST(Activation, EnrolsTheDeviceAndItsOtpMatchesTheService) {
  Device d;
  d.service.config.new_server = "http://moved.test:9090";
  d.service.config.dk1 = "diversify";
  d.service.config.messages = {{12, "read me", 2}, {13, "seen", 1}, {15, "and me", 2}};
  d.Activate();

  // Setup, finalize, then the secrets follow-up at the server the finalize reply named.
  ASSERT_EQ(d.service.requests.size(), 3u);
  EXPECT_EQ(d.service.requests[2].base, "http://moved.test:9090");
  EXPECT_EQ(d.service.requests[0].Raw("version"), "0%2e2%2e7");
  EXPECT_EQ(d.service.requests[1].Raw("name"), "My+PC");
  EXPECT_EQ(d.service.requests[1].Raw("serial").substr(0, 18), "SER+0042%2fKEY%2f7");

  SRContext* ctx = d.ctx;
  EXPECT_STREQ(ctx->device_id, "dev-42");
  EXPECT_EQ(ctx->k0, d.service.k0);
  EXPECT_EQ(ctx->k1, d.service.k1);
  EXPECT_EQ(std::string(ctx->device_random).size(), 32u);
  EXPECT_EQ(std::string(ctx->h_value).size(), 32u);
  EXPECT_EQ(ctx->last_sync, d.service.config.tsync);
  ASSERT_EQ(ctx->service_count, 2);
  EXPECT_STREQ(ctx->services[0].name, "Main & co");
  ASSERT_EQ(ctx->service_key_count, 2);
  EXPECT_EQ(ctx->service_keys[0].key, d.service.StoredSecret(7));
  EXPECT_EQ(ctx->service_keys[1].key, d.service.StoredSecret(9));
  EXPECT_STREQ(ctx->request_mode, "ms");  // left behind by the follow-up
  EXPECT_EQ(ctx->finalize_data_key, nullptr);
  EXPECT_EQ(ctx->finalize_identity, nullptr);
  EXPECT_EQ(ctx->finalize_pin, nullptr);
  EXPECT_EQ(ctx->pinless, 0);
  EXPECT_STREQ(ctx->new_version, "");  // the finalize reply carried none
  EXPECT_EQ(SRStorageDataChanged(ctx), 1);

  // The OTP requests go to the new server and acknowledge messages 12 and 15 (checked by the
  // service on every finalize request).
  ASSERT_EQ(d.Otp(0), SR_OK);
  EXPECT_EQ(d.service.requests.back().Raw("ack"), "12:15:");
  EXPECT_EQ(d.OtpText(), d.service.ExpectedOtp());
  EXPECT_EQ(ctx->k1, d.service.k1);  // renewed by the OTP reply under the PIN key
  EXPECT_EQ(ctx->otp_flags, 2);
}

TEST(Activation, SetupReplyFillsTheSessionValues) {
  Device d;
  ASSERT_EQ(d.Start(), SR_OK);
  SRContext* ctx = d.ctx;
  EXPECT_STREQ(ctx->request_mode, "activate");
  EXPECT_EQ(ctx->challenge, d.service.challenge);
  EXPECT_EQ(ctx->need_sync, 1);
  EXPECT_STREQ(ctx->antiphishing, "blue kite");
  EXPECT_EQ(ctx->pin_mode, 1);
  EXPECT_EQ(ctx->current_service, -1);  // no services yet
  EXPECT_EQ(ctx->no_popup, 1);
  EXPECT_STREQ(ctx->new_version, "3.1");
  EXPECT_STREQ(ctx->new_version_url, "http://updates.test/3.1");
  ASSERT_EQ(ctx->prompt_count, 2);
  EXPECT_STREQ(ctx->prompts[1].label, "Device name");
  EXPECT_EQ(ctx->prompts[0].hidden, 1);
  EXPECT_STREQ(ctx->prompts[1].value, "");
  // Ksr recovered through Kfact: a 1024-bit modulus.
  EXPECT_EQ(std::string(ctx->ksr).size(), 256u);
  EXPECT_EQ(std::string(ctx->kfact).size(), 256u);
  EXPECT_STREQ(ctx->device_id, "");  // still new: the finalize step must follow
}

TEST(Activation, StateSavedAfterActivationGivesTheSameOtpsInAFreshContext) {
  Device d;
  d.service.config.messages = {{21, "ack me", 2}};
  d.Activate();
  std::unique_ptr<char, decltype(&free)> saved(SRStorageDataGet(d.ctx), free);

  // Loaded into a fresh context, the state alone makes the OTPs the service expects.
  ContextPtr fresh(SRInit(0, "SER 0042", "KEY/77", fake::Service::Transport, &d.service));
  d.service.Attach(fresh.get());
  SRWsServerSet(fresh.get(), d.service.config.base.c_str());
  SRMvaultSet(fresh.get(), d.service.config.mvault.c_str());
  ASSERT_EQ(SRStorageDataSet(fresh.get(), saved.get()), SR_OK);
  for (int32_t index : {1, 0}) {
    ASSERT_EQ(SROnlineOtpStart(fresh.get(), index), SR_OK);
    ASSERT_EQ(SROnlineOtpFinalize(fresh.get(), index, Device::kPin), SR_OK);
    EXPECT_EQ(SROnlineOtpGet(fresh.get()), d.service.ExpectedOtp()) << index;
  }
  EXPECT_EQ(d.service.requests.back().Raw("ack"), "21:");
}

TEST(Activation, PinlessWithEmptyPinAndDeterministicRandom) {
  struct Counter {
    unsigned char next = 0;
  } counter;
  srRandomSourceSet(
      [](unsigned char* out, size_t n, void* user) {
        for (size_t i = 0; i < n; i++) out[i] = static_cast<Counter*>(user)->next++;
        return 1;
      },
      &counter);
  Device d;
  d.service.config.pin_mode = 0;
  d.Activate("");
  srRandomSourceSet(nullptr, nullptr);
  // The device random is the first 16 bytes drawn.
  EXPECT_STREQ(d.ctx->device_random, "000102030405060708090a0b0c0d0e0f");
  EXPECT_EQ(d.service.pin, "");
  EXPECT_EQ(d.service.requests[1].Raw("pin"), "");
  EXPECT_EQ(d.ctx->pinless, 1);
  ASSERT_EQ(d.Otp(0, ""), SR_OK);
  EXPECT_EQ(d.OtpText(), d.service.ExpectedOtp());
}

TEST(Activation, RetryAfterFailedFinalizeUsesANewIdentity) {
  Device d;
  d.service.Override(1, fake::Markup({{"err", "NOK:PINREUSED"}}));
  ASSERT_EQ(d.Start(), SR_OK);
  ASSERT_EQ(d.Finalize(), SR_ERR_PINREUSED);
  std::string first_random = d.ctx->device_random;  // kept: nothing is rolled back
  EXPECT_EQ(first_random.size(), 32u);
  EXPECT_EQ(d.ctx->finalize_data_key, nullptr);
  EXPECT_EQ(d.ctx->finalize_pin, nullptr);
  EXPECT_STREQ(d.ctx->device_id, "");

  ASSERT_EQ(d.Finalize(), SR_OK);  // the challenge of the first setup is still in memory
  EXPECT_NE(first_random, d.ctx->device_random);
  EXPECT_NE(d.service.requests[1].Raw("Kma"), d.service.requests[2].Raw("Kma"));
  EXPECT_NE(d.service.requests[1].Raw("serial"), d.service.requests[2].Raw("serial"));
}

TEST(Activation, StateTable) {
  Device activated;
  activated.Activate();
  size_t sent = activated.service.requests.size();
  EXPECT_EQ(activated.Start(), SR_ERR_FORBIDDEN);
  EXPECT_EQ(activated.Finalize(), SR_ERR_FORBIDDEN);
  EXPECT_EQ(activated.service.requests.size(), sent);

  Device fresh;
  EXPECT_EQ(SROnlineOtpStart(fresh.ctx, 0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(SROnlineOtpFinalize(fresh.ctx, 0, Device::kPin), SR_ERR_FORBIDDEN);
  ASSERT_EQ(fresh.Start(), SR_OK);  // setup done: still no OTP
  EXPECT_EQ(SROnlineOtpStart(fresh.ctx, 0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(fresh.service.requests.size(), 1u);

  Device blocked;
  blocked.Activate();
  blocked.service.Override(3, fake::Markup({{"err", "OK:BLOCKED"}}));
  EXPECT_EQ(blocked.Otp(0), SR_ERR_BLOCKED);
  EXPECT_EQ(blocked.ctx->blocked, 1);
  sent = blocked.service.requests.size();
  EXPECT_EQ(blocked.Otp(0), SR_ERR_FORBIDDEN);
  EXPECT_EQ(blocked.Start(), SR_ERR_FORBIDDEN);
  EXPECT_EQ(blocked.service.requests.size(), sent);
}

// Every way the first reply can fail, through SRActivationStart.
TEST(Activation, SetupResultCodes) {
  const std::pair<std::optional<std::string>, int32_t> cases[] = {
      {std::nullopt, SR_ERR_NO_REPLY},
      {"", SR_ERR_NO_REPLY},
      {"<reply><err>OK</reply>", SR_ERR_NO_REPLY},
      {"not markup at all", SR_ERR_NO_REPLY},
      {fake::Markup({{"challenge", "c"}}), SR_ERR_NO_REPLY},
      {fake::Markup({{"err", "nok"}}), SR_ERR_NO_REPLY},
      {fake::Markup({{"err", "NOK:SOMETHINGNEW"}}), SR_ERR_NO_REPLY},
      {fake::Markup({{"err", "NOK:CODE"}}), SR_ERR_CODE},
      {fake::Markup({{"err", "NOK:SN"}}), SR_ERR_SN},
      {fake::Markup({{"err", "NOK:ACCESS"}}), SR_ERR_ACCESS},
      {fake::Markup({{"err", "NOK:VERSION"}}), SR_ERR_VERSION},
      {fake::Markup({{"err", "NOK:SAT"}}), SR_ERR_SAT},
      {fake::Markup({{"err", "NOK_BLOCKED"}}), SR_ERR_BLOCKED},
      {fake::Markup({{"err", "OK:BLOCKED"}}), SR_ERR_BLOCKED},
      {fake::Markup({{"err", "NOK:STATE"}}), SR_ERR_STATE},
      {fake::Markup({{"err", "NOK:NODEVICE"}}), SR_ERR_NODEVICE},
      {fake::Markup({{"err", "NOK:NOCA"}}), SR_ERR_NOCA},
      {fake::Markup({{"err", "NOK:NOSRV"}}), SR_ERR_NOSRV},
      {fake::Markup({{"err", "NOK:PINREUSED"}}), SR_ERR_PINREUSED},
      {fake::Markup({{"err", "NOK:SYNCHROFAILED"}}), SR_ERR_SYNCHROFAILED},
      {fake::Markup({{"err", "NOK:FORBIDDEN"}}), SR_ERR_FORBIDDEN},
      {fake::Markup({{"err", "NOK:PINREFUSED"}}), SR_ERR_PINREFUSED},
      {fake::Markup({{"err", "NOK:TIMEOUT"}}), SR_ERR_TIMEOUT},
      {fake::Markup({{"err", "NOK:URL"}}), SR_ERR_URL},
      {fake::Markup({{"err", "NOK"}}), SR_ERR_NOK},
  };
  for (const auto& [body, code] : cases) {
    Device d;
    d.service.Override(0, body);
    EXPECT_EQ(d.Start(), code) << body.value_or("(no body)");
    EXPECT_EQ(d.ctx->blocked, code == SR_ERR_BLOCKED ? 1 : 0);
    EXPECT_EQ(d.ctx->version_refused, code == SR_ERR_VERSION ? 1 : 0);
    EXPECT_STREQ(d.ctx->challenge, "");
    EXPECT_STREQ(d.ctx->kfact, "");
  }
}

TEST(Activation, ErrorReplyStillCarriesTheNewVersionNotice) {
  Device d;
  d.service.Override(0, fake::Markup({{"err", "NOK:VERSION"}, {"newversion", "4.0"}}));
  EXPECT_EQ(d.Start(), SR_ERR_VERSION);
  EXPECT_STREQ(d.ctx->new_version, "4.0");
  EXPECT_EQ(SRStorageDataChanged(d.ctx), 1);
}

// The finalize reply fails: its code comes back and the scratch fields are gone.
TEST(Activation, FinalizeResultCodes) {
  const std::pair<std::optional<std::string>, int32_t> cases[] = {
      {std::nullopt, SR_ERR_NO_REPLY},
      {"<reply>", SR_ERR_NO_REPLY},
      {fake::Markup({{"id", "x"}}), SR_ERR_NO_REPLY},
      {fake::Markup({{"err", "NOK:PINREFUSED"}, {"id", "x"}}), SR_ERR_PINREFUSED},
      {fake::Markup({{"err", "NOK"}}), SR_ERR_NOK},
  };
  for (const auto& [body, code] : cases) {
    Device d;
    d.service.Override(1, body);
    ASSERT_EQ(d.Start(), SR_OK);
    EXPECT_EQ(d.Finalize(), code);
    EXPECT_STREQ(d.ctx->device_id, "");
    EXPECT_EQ(d.ctx->finalize_data_key, nullptr);
    EXPECT_EQ(d.ctx->finalize_identity, nullptr);
    EXPECT_EQ(d.ctx->finalize_pin, nullptr);
    EXPECT_EQ(d.service.requests.size(), 2u);  // no follow-up
  }
}

TEST(Activation, FinalizeOkWithoutIdLeavesTheDeviceNew) {
  Device d;
  d.service.Override(1, fake::Markup({{"err", "OK"}, {"s_n", "1"}, {"s_id", "3"}}));
  d.Activate();
  EXPECT_STREQ(d.ctx->device_id, "");
  EXPECT_EQ(d.ctx->service_count, 1);
  EXPECT_EQ(d.service.requests.size(), 2u);
}

// Every failure of the secrets follow-up gives 13; what came before it stays.
TEST(Activation, SecretsFollowUpFailuresGive13) {
  const std::optional<std::string> bodies[] = {
      std::nullopt,
      "<<<",
      fake::Markup({{"connected", "5"}}),
      fake::Markup({{"err", "NOK:PINREFUSED"}}),
      fake::Markup({{"err", "NOK_BLOCKED"}}),
      fake::Markup({{"err", "NOK:NODEVICE"}}),
  };
  for (const auto& body : bodies) {
    Device d;
    d.service.Override(2, body);
    ASSERT_EQ(d.Start(), SR_OK);
    EXPECT_EQ(d.Finalize(), SR_ERR_SYNCHROFAILED) << body.value_or("(no body)");
    EXPECT_EQ(d.ctx->finalize_data_key, nullptr);
    EXPECT_EQ(d.ctx->finalize_identity, nullptr);
    EXPECT_EQ(d.ctx->finalize_pin, nullptr);
    EXPECT_STREQ(d.ctx->request_mode, "ms");
    std::string what = body.value_or("");
    if (what.find("NOK:NODEVICE") != std::string::npos) {
      EXPECT_STREQ(d.ctx->device_id, "");  // reset, keys and all
      EXPECT_EQ(d.ctx->service_key_count, 0);
      continue;
    }
    EXPECT_EQ(d.ctx->blocked, what.find("NOK_BLOCKED") != std::string::npos ? 1 : 0);
    EXPECT_STREQ(d.ctx->device_id, "dev-42");  // the finalize reply's sync block stays
    ASSERT_EQ(d.ctx->service_key_count, 2);    // so do the keys made for the follow-up
    EXPECT_EQ(d.ctx->service_keys[0].key, d.service.StoredSecret(7));
  }
}

TEST(Activation, SecretsCountEdgeCases) {
  // A negative count starts a follow-up with that count and no items.
  Device negative;
  negative.service.edit = [](const fake::Request& r, Elements& e) {
    if (r.Raw("mode") == "activate" && r.action == "ActionFinalize") fake::Set(e, "ms_n", "-3");
  };
  negative.Activate();
  ASSERT_EQ(negative.service.requests.size(), 3u);
  EXPECT_EQ(negative.service.requests[2].Raw("ms_n"), "-3");
  EXPECT_EQ(negative.ctx->service_key_count, 0);

  // "0", absent or without leading digits: no follow-up.
  for (const char* count : {"0", "", "x5"}) {
    Device none;
    none.service.edit = [count](const fake::Request& r, Elements& e) {
      if (r.action != "ActionFinalize") return;
      fake::Remove(e, "ms_n");
      if (*count != '\0') e.emplace_back("ms_n", count);
    };
    none.Activate();
    EXPECT_EQ(none.service.requests.size(), 2u) << count;
    EXPECT_STREQ(none.ctx->request_mode, "activate");
  }
}

TEST(OnlineOtp, FormatsDefiAndMissingSecrets) {
  struct Case {
    const char* format;
    int32_t defi;
    int32_t index;  // service 9 (index 1) has no secret when only 7 is asked for
  };
  const Case cases[] = {{"8LC", 12345, 0}, {"8C", 12345, 0}, {"8LC", 0, 0},
                        {"8C", -5, 0},     {"8LC", 7, 1},    {"8C", 0, 1}};
  for (const Case& c : cases) {
    Device d;
    d.service.config.secret_ids = {7};
    d.service.config.format = c.format;
    d.service.config.defi = c.defi;
    d.Activate();
    ASSERT_EQ(d.Otp(c.index), SR_OK) << c.format << " " << c.defi;
    std::string otp = d.OtpText();
    EXPECT_EQ(otp, d.service.ExpectedOtp()) << c.format << " " << c.defi << " " << c.index;
    EXPECT_EQ(otp.size(), 8u);
    if (std::string(c.format) == "8C") {
      EXPECT_EQ(otp[0], '0');
    }
    EXPECT_EQ(d.service.requests.back().Raw("sid"), c.index == 0 ? "7" : "9");
  }
}

TEST(OnlineOtp, UnknownFormatGives999AndKeepsTheEarlierOtp) {
  Device d;
  d.Activate();
  EXPECT_EQ(SROnlineOtpGet(d.ctx), nullptr);
  ASSERT_EQ(d.Otp(0), SR_OK);
  std::string first = d.OtpText();
  for (const char* format : {"8lc", "", "6C"}) {
    d.service.config.format = format;
    EXPECT_EQ(d.Otp(0), SR_ERR_NOK) << format;
    EXPECT_EQ(d.OtpText(), first);
    EXPECT_EQ(d.ctx->k1, d.service.k1);  // the exchange's changes stay
  }
  d.service.edit = [](const fake::Request&, Elements& e) { fake::Remove(e, "format"); };
  d.service.config.format = "8LC";
  EXPECT_EQ(d.Otp(0), SR_ERR_NOK);
  EXPECT_EQ(d.OtpText(), first);
}

TEST(OnlineOtp, IndexChecksSendNothing) {
  Device d;
  d.Activate();
  size_t sent = d.service.requests.size();
  for (int32_t index : {-1, 2, 1000}) {
    EXPECT_EQ(SROnlineOtpStart(d.ctx, index), SR_ERR_FORBIDDEN);
    EXPECT_EQ(SROnlineOtpFinalize(d.ctx, index, Device::kPin), SR_ERR_FORBIDDEN);
  }
  EXPECT_EQ(d.service.requests.size(), sent);
}

TEST(OnlineOtp, ServiceListShrinkingBelowTheIndexGivesNoOtp) {
  Device d;
  d.Activate();
  d.service.edit = [](const fake::Request& r, Elements& e) {
    if (r.action != "ActionFinalize") return;
    fake::Set(e, "s_n", "1");
    fake::Set(e, "s_id", "7");
  };
  EXPECT_EQ(d.Otp(1), SR_ERR_FORBIDDEN);
  EXPECT_EQ(SROnlineOtpGet(d.ctx), nullptr);
  EXPECT_EQ(d.ctx->service_count, 1);
  EXPECT_EQ(d.ctx->finalize_pin, nullptr);
}

TEST(OnlineOtp, SecretsFollowUpRenewsTheKeyUsedForTheOtp) {
  Device d;
  d.Activate();
  std::string before = d.ctx->service_keys[0].key;
  d.service.config.otp_secret_ids = {7};
  ASSERT_EQ(d.Otp(0), SR_OK);
  EXPECT_EQ(d.service.requests.back().Raw("mode"), "ms");
  EXPECT_NE(d.ctx->service_keys[0].key, before);
  EXPECT_EQ(d.OtpText(), d.service.ExpectedOtp());
}

TEST(OnlineOtp, NoDeviceForgetsTheEnrolment) {
  Device d;
  d.Activate();
  d.service.Override(3, fake::Markup({{"err", "NOK:NODEVICE"}}));
  EXPECT_EQ(d.Otp(0), SR_ERR_NODEVICE);
  EXPECT_STREQ(d.ctx->device_id, "");
  EXPECT_STREQ(d.ctx->k1, "");
  EXPECT_EQ(d.ctx->service_count, 0);
  EXPECT_EQ(d.ctx->service_key_count, 0);
  EXPECT_EQ(SRStorageDataChanged(d.ctx), 1);
  EXPECT_EQ(d.Otp(0), SR_ERR_FORBIDDEN);
}

TEST(OnlineOtp, FinalizeFailureKeepsTheEarlierOtp) {
  Device d;
  d.Activate();
  ASSERT_EQ(d.Otp(0), SR_OK);
  std::string first = d.OtpText();
  d.service.Override(6, std::nullopt);
  EXPECT_EQ(d.Otp(0), SR_ERR_NO_REPLY);
  EXPECT_EQ(d.OtpText(), first);
  EXPECT_EQ(d.ctx->finalize_data_key, nullptr);
}

}  // namespace
