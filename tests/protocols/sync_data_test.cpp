// The reply's synchronisation block, the service-key list and the new-version notice.
#include <gtest/gtest.h>

#include "reply_doc.h"
#include "sdk/context.h"
#include "sdk/reply_values.h"
#include "sdk/string_helpers.h"
#include "sdk/sync_data.h"

namespace {

constexpr char kDataKey[] = "000102030405060708090a0b0c0d0e0f";

// The keys and service ids are checked end to end by the activation tests.
TEST(SyncData, ReadsTheWholeBlock) {
  ContextPtr ctx = NewContext();
  ctx->sync_int_3 = 5;
  SetText(ctx->sync_text_1, "old");
  SetText(ctx->sync_text_2, "old");
  // clang-format off
  ReplyDoc doc({{"id", "dev"}, {"server", "http://s.test"}, {"J", "jj"}, {"connected", "3600"}, {"Tsync", "77"},
                {"s_n", "2"}, {"s_id", "5"}, {"s_name", "five"}, {"s_ksc", "ksc"},
                {"s_connected", "1"}, {"s_pattern", "p"}, {"m_n", "1"}, {"m_content", "c"}});
  // clang-format on
  const int32_t before = srNow();
  srSyncDataRead(ctx.get(), doc.get(), kDataKey);
  EXPECT_STREQ(ctx->server_url, "http://s.test");
  EXPECT_STREQ(ctx->j_value, "jj");
  EXPECT_GE(ctx->connected_until, before + 3600);
  EXPECT_LE(ctx->connected_until, srNow() + 3600);
  EXPECT_EQ(ctx->last_sync, 77);
  EXPECT_EQ(ctx->sync_int_3, 0);
  EXPECT_EQ(std::string(ctx->sync_text_1) + ctx->sync_text_2, "");
  // Two services announced, one described: the second is empty.
  ASSERT_EQ(ctx->service_count, 2);
  const SRService& s = ctx->services[0];
  EXPECT_EQ(std::string(s.name) + s.ksc + s.pattern, "fivekscp");
  EXPECT_EQ(s.connected, 1);
  EXPECT_STREQ(ctx->services[1].name, "");
  ASSERT_EQ(ctx->message_count, 1);
  EXPECT_STREQ(ctx->messages[0].content, "c");
  EXPECT_EQ(ctx->storage_changed, 1);
  // No lists and no K1: the lists stay and the stored K1 is diversified; the state is marked.
  SetText(ctx->k1, "00112233445566778899aabbccddeeff");
  ctx->storage_changed = 0;
  ReplyDoc second({{"id", ""}, {"dK1", "x"}});
  srSyncDataRead(ctx.get(), second.get(), kDataKey);
  EXPECT_STREQ(ctx->device_id, "dev");
  EXPECT_EQ(ctx->service_count, 2);
  EXPECT_EQ(ctx->message_count, 1);
  EXPECT_EQ(ctx->k1, devserver::sha256Hex("00112233445566778899aabbccddeeff;x").substr(0, 32));
  EXPECT_EQ(ctx->storage_changed, 1);
}

// The count is the number of records made, whatever the reply claims: at most a few beyond the
// reply's own elements, and never more than the fixed ceiling.
TEST(SyncData, ListCountsAreBounded) {
  const int32_t bound = SR_REPLY_LIST_SLACK + 3;  // the test reply has three elements
  const std::pair<const char*, int32_t> cases[] = {
      {"3", 3}, {"-3", 0}, {"abc", 0}, {" +2x", 2}, {"19", bound}, {"99999999999", bound}};
  for (const auto& [count, expected] : cases) {
    ContextPtr ctx = NewContext();
    ReplyDoc doc({{"s_n", count}, {"m_n", count}, {"s_id", "8"}});
    srSyncDataRead(ctx.get(), doc.get(), kDataKey);
    EXPECT_EQ(ctx->service_count, expected) << count;
    EXPECT_EQ(ctx->message_count, expected) << count;
    EXPECT_EQ(expected > 0 ? ctx->services[0].id : 8, 8);
  }
  Elements many = {{"s_n", "99999"}};
  many.resize(SR_REPLY_LIST_MAX + 100, {"s_id", "1"});
  std::string body = Markup(many);
  NodePtr doc(srMarkupParse(body.data()));
  ContextPtr ctx = NewContext();
  srSyncDataRead(ctx.get(), doc.get(), kDataKey);
  EXPECT_EQ(ctx->service_count, SR_REPLY_LIST_MAX);
}

// The notice describes the last reply: one without it clears it.
TEST(NewVersion, FollowsTheLastReply) {
  ContextPtr ctx = NewContext();
  for (const char* version : {"2.0", ""}) {
    ReplyDoc doc({{"newversion", version}, {"newversionurl", std::string("u") + version}});
    srNewVersionRead(ctx.get(), doc.get());
    EXPECT_STREQ(ctx->new_version, version);
    EXPECT_EQ(ctx->new_version_url, std::string("u") + version);
  }
}

}  // namespace
