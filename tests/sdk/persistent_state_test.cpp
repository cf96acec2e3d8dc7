#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/persistent_state.h"
#include "sdk/string_helpers.h"
#include "support/sdk_handles.h"

namespace {

std::string Get(SRContext* ctx) {
  return Take(SRStorageDataGet(ctx));
}

// An enrolled device with two services, one key and two messages; names and texts carry "&".
const char kEnrolled[] =
    "0.2.7&&dev42&&00112233445566778899aabbccddeeff&&1&&1&&1700000000&&c0ffee&&-7&&"
    "https://srv.example:8443&&J&&K&&k0k0&&k1k1&&11&&1&&2&&3&&4&&5&&-2147483648&&"
    "t1&&t2&&hh&&"
    "2&&7&&Mail &amp; Web&&i&amp;&amp;con&&1&&1&&ksc7&&8&&lit &amp;amp; name&&&&0&&0&&&&"
    "1&&7&&aabb&&"
    "2&&99&&1&&Hello &amp; welcome&&a&amp;b&amp;&amp;c&amp;&&2&&2&&&&&&0&&"
    "1&&1.2&amp;beta&&http://x/?a=1&amp;b=2&&";

ContextPtr Loaded(const std::string& text) {
  ContextPtr ctx = NewContext();
  EXPECT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0) << text;
  return ctx;
}

const std::string kFresh =
    "0.2.7&&&&&&0&&0&&0&&&&0&&&&&&&&&&&&0&&0&&0&&0&&0&&0&&0&&&&&&&&0&&0&&0&&0&&0&&&&&&";
const std::string kUpToServices = kFresh.substr(0, kFresh.rfind("0&&0&&0&&0&&0&&&&&&"));

TEST(StateSerialize, FreshText) {
  EXPECT_EQ(Get(NewContext().get()), kFresh);
}

TEST(StateLoad, RoundTripRestoresEveryField) {
  ContextPtr ctx = Loaded(kEnrolled);
  SRContext* c = ctx.get();
  EXPECT_EQ(Get(c), kEnrolled);
  EXPECT_EQ(c->storage_changed, 0);
  EXPECT_EQ(c->sync_int_6, INT32_MIN);
  ASSERT_EQ(c->service_count, 2);
  EXPECT_STREQ(c->services[0].name, "Mail & Web");
  EXPECT_STREQ(c->services[0].icon, "i&&con");
  EXPECT_EQ(c->services[0].url, nullptr);               // not carried by the text
  EXPECT_STREQ(c->services[1].name, "lit &amp; name");  // escaped once more, loaded back as is
  EXPECT_STREQ(c->messages[0].content, "a&b&&c&");

  // Writing leaves the changed flag alone; loading replaces stored items, not the session.
  SetText(c->challenge, "in-progress");
  c->storage_changed = 1;
  EXPECT_EQ(Get(c), kEnrolled);
  ASSERT_EQ(SRStorageDataSet(c, kFresh.c_str()), 0);
  EXPECT_EQ(Get(c), kFresh);
  EXPECT_STREQ(c->challenge, "in-progress");
  EXPECT_EQ(c->storage_changed, 1);
}

TEST(StateLoad, UnknownVersionChangesNothing) {
  ContextPtr ctx = Loaded(kEnrolled);
  for (const char* text : {"", "0.2.8&&x&&", "0.0.10&&", "0.2.7 &&", "0.2&&", "&&0.2.7&&"}) {
    EXPECT_EQ(SRStorageDataSet(ctx.get(), text), 3) << text;
    EXPECT_EQ(Get(ctx.get()), kEnrolled) << text;
  }
  EXPECT_EQ(SRStorageDataSet(ctx.get(), nullptr), 3);
  EXPECT_EQ(srStateVersionCode(ctx.get(), nullptr), 0);
}

// The enrolled text in the layout of an older format: no pinless item before 0.2.7 and services
// of five items before 0.2.3.
std::string InOlderLayout(int code) {
  std::vector<std::string> items;
  const std::string current = kEnrolled;
  for (size_t from = 0, at; (at = current.find("&&", from)) != std::string::npos; from = at + 2)
    items.push_back(current.substr(from, at - from));
  items[0] = "0.2." + std::to_string(code - 512);
  if (code < 519) items.erase(items.begin() + 4);
  if (code < 515) items.erase(items.begin() + 22 + 12), items.erase(items.begin() + 22 + 6);
  std::string text;
  for (const std::string& item : items) text += item + "&&";
  return text;
}

TEST(StateLoad, EveryAcceptedVersion) {
  for (int code = 513; code <= 519; code++) {
    ContextPtr ctx = NewContext();
    ctx->pinless = 5;  // kept when the text has no pinless item
    ASSERT_EQ(SRStorageDataSet(ctx.get(), InOlderLayout(code).c_str()), 0) << code;
    EXPECT_EQ(ctx->pinless, code >= 519 ? 1 : 5) << code;
    // Written back, it is a current text with every item; the lost ones are empty.
    ctx->pinless = 1;
    std::string expected = kEnrolled;
    if (code < 515) expected.replace(expected.find("ksc7"), 4, "");
    EXPECT_EQ(Get(ctx.get()), expected) << code;
  }
}

TEST(StateLoad, ShortTextsLoadMissingItemsEmpty) {
  EXPECT_STREQ(Loaded("0.2.7&&dev&&rnd&&1&&0&&5&&kf&&")->server_url, "");
  // Cut inside a separator: the "&" left over is not part of the item; a leading "&" is kept.
  EXPECT_STREQ(Loaded("0.2.7&&dev&")->device_id, "dev");
  ContextPtr ctx = Loaded("0.2.7&&&x&&r&");
  EXPECT_STREQ(ctx->device_id, "&x");
  EXPECT_STREQ(ctx->device_random, "r");
  // Cut inside the service list: the records it announced are all there, the missing empty.
  ctx = Loaded(kUpToServices + "3&&7&&a&amp;b&&ic");
  ASSERT_EQ(ctx->service_count, 3);
  EXPECT_STREQ(ctx->services[0].icon, "ic");
  EXPECT_STREQ(ctx->services[2].ksc, "");
  // Numbers read as atoi does.
  ctx = Loaded("0.2.7&&&&&& 12x&&-&&+3&&");
  EXPECT_EQ(ctx->blocked + ctx->pinless * 100, 12);
  EXPECT_EQ(ctx->last_sync, 3);
}

TEST(StateLoad, DamagedCounts) {
  // A negative count loads no records; the items after it keep their places.
  ContextPtr ctx = Loaded(kUpToServices + "-4&&1&&7&&key&&0&&0&&1&&nv&&");
  EXPECT_EQ(ctx->service_count, 0);
  EXPECT_STREQ(ctx->new_version, "nv");
  // Huge counts cost memory in proportion to the text; the result still round-trips.
  for (const char* count : {"2147483647", "99999999999"}) {
    ctx = Loaded(kUpToServices + count + "&&1&&n&&");
    EXPECT_TRUE(ctx->service_count > 0 && ctx->service_count <= 256);
    EXPECT_EQ(Get(Loaded(Get(ctx.get())).get()), Get(ctx.get()));
  }
  ctx = Loaded(kUpToServices + "0&&0&&2000000000&&5&&");  // message count, then its time
  EXPECT_LE(ctx->message_count, 256);
  EXPECT_EQ(ctx->messages_time, 5);
  // A count the text really holds is honoured beyond the trusted size.
  std::string text = kUpToServices + "1000&&";
  for (int i = 0; i < 1000; i++) text += std::to_string(i) + "&&n&&&&0&&s&&k&&";
  EXPECT_EQ(Loaded(text)->service_count, 1000);
  // A damaged count is cut by the record size of the text's version: five items up to 0.2.2,
  // six (the ksc) from 0.2.3 on. Here 300 records and the empty tail.
  for (const int items : {5, 6}) {
    text = kUpToServices + "2147483647&&";
    text.replace(0, 5, items == 5 ? "0.2.2" : "0.2.3");
    text.erase(text.find("0&&"), 3);  // no pinless item before 0.2.7
    for (int i = 0; i < 300 * items; i++) text += "7&&";
    EXPECT_EQ(Loaded(text)->service_count, 301) << items;
  }
}

TEST(AmpUnescape, NotRescanned) {
  EXPECT_EQ(Take(srAmpUnescape("&amp;amp;&am&amp;p;")), "&amp;&am&p;");
}

}  // namespace
