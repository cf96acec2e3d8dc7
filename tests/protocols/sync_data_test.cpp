// The reply's synchronisation block, the service-key list and the new-version notice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto.h"
#include "reply_doc.h"
#include "sdk/context.h"
#include "sdk/reply_values.h"
#include "sdk/string_helpers.h"
#include "sdk/sync_data.h"

namespace {

constexpr char kDataKey[] = "000102030405060708090a0b0c0d0e0f";

TEST(SyncData, ReadsTheWholeBlock) {
  ContextPtr ctx = NewContext();
  ctx->sync_int_3 = 5;
  ctx->sync_text_2 = srStrReplace(ctx->sync_text_2, srStrDup("old"));
  std::string k0 = devserver::randomHex32(), k1 = devserver::randomHex32(),
              h = devserver::randomHex32();
  ReplyDoc doc({{"id", "dev-1"},
                {"server", "http://s.test"},
                {"K0", AesEncryptHex(k0 + devserver::randomHex32(), kDataKey)},
                {"K1", AesEncryptHex(k1, kDataKey)},
                {"dK1", "d1"},
                {"H", AesEncryptHex(h, kDataKey)},
                {"J", "jj"},
                {"K", "kk"},
                {"connected", "3600"},
                {"Tsync", "77"},
                {"s_n", "2"},
                {"s_id", "5"},
                {"s_name", "five"},
                {"s_icon", "i"},
                {"s_secure", "sec"},
                {"s_ksc", "ksc"},
                {"s_connected", "1"},
                {"s_url", "u"},
                {"s_pattern", "p"},
                {"m_n", "1"},
                {"m_id", "3"},
                {"m_title", "t"},
                {"m_content", "c"},
                {"m_ack", "2"}});
  int32_t before = srNow();
  srSyncDataRead(ctx.get(), doc.get(), kDataKey);
  int32_t after = srNow();

  EXPECT_STREQ(ctx->device_id, "dev-1");
  EXPECT_STREQ(ctx->server_url, "http://s.test");
  EXPECT_EQ(ctx->k0, k0);                                              // first block only
  EXPECT_EQ(ctx->k1, devserver::sha256Hex(k1 + ";d1").substr(0, 32));  // K1 then dK1
  EXPECT_EQ(ctx->h_value, h);
  EXPECT_STREQ(ctx->j_value, "jj");
  EXPECT_STREQ(ctx->k_value, "kk");
  EXPECT_GE(ctx->j_time, before);
  EXPECT_GE(ctx->connected_until, before + 3600);
  EXPECT_LE(ctx->connected_until, after + 3600);
  EXPECT_EQ(ctx->last_sync, 77);
  EXPECT_EQ(ctx->sync_int_3, 0);
  EXPECT_STREQ(ctx->sync_text_2, "");
  EXPECT_EQ(ctx->services_updated, 1);
  // Two services announced, one described: the second is empty.
  ASSERT_EQ(ctx->service_count, 2);
  const SRService& s = ctx->services[0];
  EXPECT_EQ(s.id, 5);
  EXPECT_STREQ(s.name, "five");
  EXPECT_STREQ(s.icon, "i");
  EXPECT_STREQ(s.secure, "sec");
  EXPECT_STREQ(s.ksc, "ksc");
  EXPECT_EQ(s.connected, 1);
  EXPECT_STREQ(s.url, "u");
  EXPECT_STREQ(s.pattern, "p");
  EXPECT_EQ(ctx->services[1].id, 0);
  EXPECT_STREQ(ctx->services[1].name, "");
  EXPECT_STREQ(ctx->services[1].pattern, "");
  ASSERT_EQ(ctx->message_count, 1);
  EXPECT_EQ(ctx->messages[0].id, 3);
  EXPECT_STREQ(ctx->messages[0].content, "c");
  EXPECT_EQ(ctx->messages[0].ack, 2);
  EXPECT_GE(ctx->messages_time, before);
  EXPECT_EQ(ctx->storage_changed, 1);
}

TEST(SyncData, EmptyBlockChangesNothingButMarksTheState) {
  ContextPtr ctx = NewContext();
  ReplyDoc first({{"id", "dev"}, {"s_n", "1"}, {"s_id", "4"}, {"m_n", "1"}, {"Tsync", "9"}});
  srSyncDataRead(ctx.get(), first.get(), kDataKey);
  ctx->storage_changed = 0;
  ReplyDoc empty({{"err", "OK"}, {"id", ""}});
  srSyncDataRead(ctx.get(), empty.get(), kDataKey);
  EXPECT_STREQ(ctx->device_id, "dev");
  EXPECT_EQ(ctx->service_count, 1);  // no "s_n": the list is kept
  EXPECT_EQ(ctx->message_count, 1);
  EXPECT_EQ(ctx->last_sync, 9);
  EXPECT_EQ(ctx->storage_changed, 1);
}

TEST(SyncData, DiversifiesTheStoredK1WhenNoK1Arrives) {
  ContextPtr ctx = NewContext();
  ctx->k1 = srStrReplace(ctx->k1, srStrDup("00112233445566778899aabbccddeeff"));
  ReplyDoc doc({{"dK1", "x"}});
  srSyncDataRead(ctx.get(), doc.get(), kDataKey);
  EXPECT_EQ(ctx->k1, devserver::sha256Hex("00112233445566778899aabbccddeeff;x").substr(0, 32));
}

// The count is always the number of records made, whatever the reply claims: never more than
// a few beyond the reply's own elements, and never more than the fixed ceiling.
TEST(SyncData, ListCountsAreBounded) {
  const int32_t bound = SR_REPLY_LIST_SLACK + 3;  // the test reply has three elements
  const std::pair<const char*, int32_t> cases[] = {
      {"3", 3},    {"0", 0},      {"-3", 0},     {"abc", 0},
      {" +2x", 2}, {"19", bound}, {"20", bound}, {"99999999999", bound}};
  for (const auto& [count, expected] : cases) {
    ContextPtr ctx = NewContext();
    ReplyDoc before({{"s_n", "1"}, {"m_n", "1"}});
    srSyncDataRead(ctx.get(), before.get(), kDataKey);
    ReplyDoc doc({{"s_n", count}, {"m_n", count}, {"s_id", "8"}});
    srSyncDataRead(ctx.get(), doc.get(), kDataKey);
    EXPECT_EQ(ctx->service_count, expected) << count;
    EXPECT_EQ(ctx->message_count, expected) << count;
    EXPECT_EQ(ctx->services == nullptr, expected == 0) << count;
    if (expected > 0) {
      EXPECT_EQ(ctx->services[0].id, 8);
      EXPECT_STREQ(ctx->messages[expected - 1].title, "");
    }
  }

  Elements many = {{"s_n", "99999"}};
  many.resize(SR_REPLY_LIST_MAX + 100, {"s_id", "1"});
  std::string body = Markup(many);
  SRNode* doc = srMarkupParse(body.data());
  ContextPtr ctx = NewContext();
  srSyncDataRead(ctx.get(), doc, kDataKey);
  srNodeFree(doc);
  EXPECT_EQ(ctx->service_count, SR_REPLY_LIST_MAX);
  EXPECT_EQ(ctx->services[SR_REPLY_LIST_MAX - 1].id, 1);
}

TEST(SyncData, NewVersionNoticeDescribesTheLastReply) {
  ContextPtr ctx = NewContext();
  ReplyDoc with({{"newversion", "2.0"}, {"newversionurl", "http://u"}});
  srNewVersionRead(ctx.get(), with.get());
  EXPECT_STREQ(ctx->new_version, "2.0");
  EXPECT_STREQ(ctx->new_version_url, "http://u");
  ctx->storage_changed = 0;
  ReplyDoc without({{"err", "OK"}});
  srNewVersionRead(ctx.get(), without.get());
  EXPECT_STREQ(ctx->new_version, "");
  EXPECT_STREQ(ctx->new_version_url, "");
  EXPECT_EQ(ctx->storage_changed, 1);
}

TEST(ServiceKeys, SetReplacesOrAppendsAndGetFindsTheFirst) {
  ContextPtr ctx = NewContext();
  EXPECT_STREQ(srServiceKeyGet(ctx.get(), 7), "");
  srServiceKeySet(ctx.get(), 7, srStrDup("a"));
  srServiceKeySet(ctx.get(), 9, srStrDup("b"));
  EXPECT_EQ(ctx->storage_changed, 1);
  ctx->storage_changed = 0;
  srServiceKeySet(ctx.get(), 7, srStrDup("c"));
  EXPECT_EQ(ctx->storage_changed, 1);
  ASSERT_EQ(ctx->service_key_count, 2);
  EXPECT_STREQ(srServiceKeyGet(ctx.get(), 7), "c");
  EXPECT_STREQ(srServiceKeyGet(ctx.get(), 9), "b");
  EXPECT_STREQ(srServiceKeyGet(ctx.get(), 8), "");
  EXPECT_EQ(ctx->service_keys[1].service_id, 9);
}

TEST(ServiceKeys, IndexOfTheFirstServiceWithTheId) {
  ContextPtr ctx = NewContext();
  EXPECT_EQ(srServiceIndex(ctx.get(), 0), -1);
  ReplyDoc doc({{"s_n", "4"}, {"s_id", "4"}, {"s_id", "6"}, {"s_id", "6"}});
  srSyncDataRead(ctx.get(), doc.get(), kDataKey);
  EXPECT_EQ(srServiceIndex(ctx.get(), 6), 1);
  EXPECT_EQ(srServiceIndex(ctx.get(), 0), 3);  // the fourth service has no s_id
  EXPECT_EQ(srServiceIndex(ctx.get(), 5), -1);
}

}  // namespace
