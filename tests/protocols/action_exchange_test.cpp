// The exchange steps called directly: query texts, proof values and reply reading.
#include <gtest/gtest.h>

#include <cstdlib>

#include "crypto.h"
#include "reply_doc.h"
#include "sdk/action_exchange.h"
#include "sdk/reply_values.h"
#include "sdk/string_helpers.h"

namespace {

TEST(QueryBuild, SetupItemsInOrderAndEncoded) {
  ContextPtr ctx = NewContext();
  SetText(ctx->device_id, "a b");
  SRMvaultSet(ctx.get(), "m&v");
  SRHostVersionSet(ctx.get(), "9.1");
  ctx->last_sync = -5;
  EXPECT_EQ(Take(srSetupQueryBuild(ctx.get(), "otp", "&sid=3")),
            "&mode=otp&id=a+b&macid=m%26v&lastsync=-5&version=9%2e1%2f0%2e2%2e7&sid=3");
  EXPECT_STREQ(ctx->request_mode, "otp");
}

// The finalize query carries the mode left behind by the last step, proofs computed by the
// test from SHA-256 directly, and every message still to be acknowledged.
TEST(QueryBuild, FinalizeWithProofsAndAcks) {
  ContextPtr ctx = NewContext();
  SetText(ctx->request_mode, "ms");
  SetText(ctx->device_id, "dev");
  SetText(ctx->device_random, "r1");
  SetText(ctx->challenge, "ch");
  SetText(ctx->k0, "k0v");
  SetText(ctx->k1, "k1v");
  ctx->message_count = 3;
  ctx->messages = static_cast<SRMessage*>(calloc(3, sizeof(SRMessage)));
  ctx->messages[0] = {12, srStrDup("a"), srStrDup(""), 2};
  ctx->messages[1] = {13, srStrDup("b"), srStrDup(""), 1};
  ctx->messages[2] = {15, srStrDup("c"), srStrDup(""), 2};
  const std::string prefix = "ch;k0v;";
  EXPECT_EQ(Take(srFinalizeQueryBuild(ctx.get(), "1234", "5678", "&sid=9")),
            "&mode=ms&id=dev&macid=&lastsync=0&version=0%2e2%2e7&lang=fr&R0=" +
                devserver::sha256Hex(prefix + "serial/key/r1") +
                "&R1=" + devserver::sha256Hex(prefix + "k1v") +
                "&R2=" + devserver::sha256Hex(prefix + "1234") + "&ack=12:15:&sid=9");
  EXPECT_EQ(ctx->finalize_data_key, devserver::sha256Hex("5678;serial/key/r1").substr(0, 32));
  EXPECT_STREQ(ctx->finalize_identity, "serial/key/r1");
  EXPECT_STREQ(ctx->finalize_pin, "5678");
}

// The follow-up sends as many items as it says, at most a few beyond the reply's three elements,
// and a negative count as it came with no items. R1 and R2 are equal before any key exists.
TEST(QueryBuild, SecretsCountIsBounded) {
  const std::pair<int32_t, std::string> cases[] = {
      {-3, "-3"}, {0, "0"}, {2, "2"}, {1000000, std::to_string(SR_REPLY_LIST_SLACK + 3)}};
  for (const auto& [n, sent] : cases) {
    ContextPtr ctx = NewContext();
    SetText(ctx->device_id, "dev");
    ReplyDoc doc({{"challenge", "c2"}, {"ms_id", "4"}, {"ms_key", ""}});
    const std::string text = Take(srSecretsQueryBuild(ctx.get(), doc.release(), n));
    const std::string digest = devserver::sha256Hex("c2;;");
    const std::string head =
        "&mode=ms&id=dev&macid=&lastsync=0&R0=" + devserver::sha256Hex("c2;;serial/key/") +
        "&R1=" + digest + "&R2=" + digest + "&ms_n=" + sent;
    EXPECT_EQ(text.substr(0, head.size()), head);
    const int32_t items = n < 0 ? 0 : std::stoi(sent);
    std::string tail;
    for (int32_t i = 0; i < items; i++) {
      tail += "&ms_id" + std::to_string(i) + (i == 0 ? "=4" : "=0") + "&ms_val" +
              std::to_string(i) + "=";
    }
    EXPECT_EQ(text.substr(head.size()), tail);
    EXPECT_STREQ(ctx->challenge, "c2");
    EXPECT_EQ(ctx->service_key_count, items == 0 ? 0 : 2);  // ids 4 and 0
    srFinalizeScratchFree(ctx.get());
  }
}

TEST(ReplyRead, PromptsAndTheFinalizeReplysOwnValues) {
  ContextPtr ctx = NewContext();
  // clang-format off
  ReplyDoc setup({{"err", "OK"}, {"prompt_n", "2"}, {"p_field", "f"}, {"p_label", "l"},
                  {"p_hidden", "1"}, {"p_save", "2"}, {"p_field", "g"}, {"antiphishing", "kite"}});
  EXPECT_EQ(srSetupReplyRead(ctx.get(), setup.release()), SR_OK);
  EXPECT_STREQ(ctx->antiphishing, "kite");
  ASSERT_EQ(ctx->prompt_count, 2);  // the second described by its field alone
  const SRPrompt* p = ctx->prompts;
  EXPECT_EQ(std::string(p[0].field) + p[0].label + p[0].value + p[1].field + p[1].label, "flg");
  EXPECT_EQ(p[0].hidden * 100 + p[0].save * 10 + p[1].hidden + p[1].save, 120);
  EXPECT_EQ(ctx->current_service, -1);  // no service named
  ReplyDoc bare({{"err", "OK"}});          // the next reply's list replaces it: none
  EXPECT_EQ(srSetupReplyRead(ctx.get(), bare.release()), SR_OK);
  EXPECT_TRUE(ctx->prompts == nullptr && ctx->prompt_count == 0);

  SetText(ctx->request_mode, "otp");
  ReplyDoc finalize({{"err", "OK"}, {"e_n", "2"}, {"e_field", "f"}, {"e_value", "v"},
                     {"code", "c7"}, {"action", "a1"}, {"alias", "al"}, {"form", "fm"},
                     {"otpfield", "of"}, {"Kps", "kp"}});
  // clang-format on
  EXPECT_EQ(srFinalizeReplyRead(ctx.get(), const_cast<SRNode*>(finalize.get())), SR_OK);
  ASSERT_EQ(ctx->extra_field_count, 2);
  EXPECT_STREQ(ctx->extra_fields[0].value, "v");
  EXPECT_STREQ(ctx->extra_fields[1].field, "");
  EXPECT_EQ(ctx->pinless, 0);  // only an activation finalize sets it
  EXPECT_STREQ(ctx->reply_code, "c7");
  EXPECT_STREQ(ctx->reply_action, "a1");
  EXPECT_EQ(std::string(ctx->reply_alias) + ctx->form + ctx->otp_field + ctx->kps, "alfmofkp");
}

// The follow-up's reply carries a sync block, kept only when the reply says OK.
TEST(ReplyRead, SecretsReplyKeepsItsSyncBlockOnlyWhenOk) {
  for (const std::string err : {"OK", "E7"}) {
    ContextPtr ctx = NewContext();
    ReplyDoc reply({{"err", err}, {"K", "kv"}});
    EXPECT_EQ(srSecretsReplyRead(ctx.get(), reply.release()),
              err == "OK" ? SR_OK : SR_ERR_SYNCHROFAILED);
    EXPECT_STREQ(ctx->k_value, err == "OK" ? "kv" : "");
  }
}

}  // namespace
