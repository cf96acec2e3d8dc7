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

ContextPtr NewContext() {
  return ContextPtr(SRInit(0, "serial", "key", NoTransport, nullptr));
}

std::string Get(SRContext* ctx) {
  char* text = SRStorageDataGet(ctx);
  std::string result(text);
  free(text);
  return result;
}

void SetText(char** field, const char* value) {
  *field = srStrReplace(*field, srStrDup(value));
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

ContextPtr EnrolledContext() {
  ContextPtr ctx = NewContext();
  EXPECT_EQ(SRStorageDataSet(ctx.get(), kEnrolled), 0);
  return ctx;
}

TEST(StateSerialize, FreshText) {
  EXPECT_EQ(Get(NewContext().get()),
            "0.2.7&&&&&&0&&0&&0&&&&0&&&&&&&&&&&&0&&0&&0&&0&&0&&0&&0&&&&&&&&"
            "0&&0&&0&&0&&0&&&&&&");
}

TEST(StateLoad, RoundTripRestoresEveryField) {
  ContextPtr ctx = EnrolledContext();
  EXPECT_EQ(Get(ctx.get()), kEnrolled);
  EXPECT_EQ(ctx->storage_changed, 0);
  SRContext* c = ctx.get();
  EXPECT_STREQ(c->device_id, "dev42");
  EXPECT_EQ(c->sync_int_6, INT32_MIN);
  EXPECT_STREQ(c->h_value, "hh");
  ASSERT_EQ(c->service_count, 2);
  EXPECT_STREQ(c->services[0].name, "Mail & Web");
  EXPECT_STREQ(c->services[0].icon, "i&&con");
  EXPECT_EQ(c->services[0].url, nullptr);  // not carried by the text
  EXPECT_STREQ(c->services[1].name, "lit &amp; name");  // escaped once more, loaded back as is
  ASSERT_EQ(c->service_key_count, 1);
  EXPECT_STREQ(c->service_keys[0].key, "aabb");
  ASSERT_EQ(c->message_count, 2);
  EXPECT_STREQ(c->messages[0].content, "a&b&&c&");
  EXPECT_STREQ(c->new_version_url, "http://x/?a=1&b=2");

  // Writing leaves the changed flag alone; loading replaces every stored item and leaves the
  // session alone.
  SetText(&c->challenge, "in-progress");
  c->storage_changed = 1;
  EXPECT_EQ(Get(c), kEnrolled);
  ASSERT_EQ(SRStorageDataSet(c, Get(NewContext().get()).c_str()), 0);
  EXPECT_EQ(Get(c), Get(NewContext().get()));
  EXPECT_STREQ(c->challenge, "in-progress");
  EXPECT_EQ(c->storage_changed, 1);
}

TEST(StateLoad, UnknownVersionChangesNothing) {
  for (const char* refused : {"0.2.7 ", "0.2"})
    EXPECT_EQ(srStateVersionCode(nullptr, refused), 0) << refused;
  ContextPtr ctx = EnrolledContext();
  std::string before = Get(ctx.get());
  for (const char* text : {"", "0.2.8&&x&&", "0.0.10&&", "CA.0.0.10&&dev&&", "&&0.2.7&&"}) {
    EXPECT_EQ(SRStorageDataSet(ctx.get(), text), 3) << text;
    EXPECT_EQ(Get(ctx.get()), before) << text;
  }
  EXPECT_EQ(SRStorageDataSet(ctx.get(), nullptr), 3);
}

// Writes the context in the layout of an older format: no pinless item before 0.2.7 and
// services of five items before 0.2.3.
std::string InOlderLayout(const std::string& current, int code) {
  std::vector<std::string> items;
  for (size_t from = 0, at; (at = current.find("&&", from)) != std::string::npos; from = at + 2)
    items.push_back(current.substr(from, at - from));
  items[0] = "0.2." + std::to_string(code - 512);
  const size_t services = 22;  // index of the service count once the pinless item is gone
  if (code < 519) items.erase(items.begin() + 4);
  if (code < 515) {
    int count = std::stoi(items[services]);
    for (int i = count; i > 0; i--) items.erase(items.begin() + services + i * 6);
  }
  std::string text;
  for (const std::string& item : items) text += item + "&&";
  return text;
}

TEST(StateLoad, EveryAcceptedVersion) {
  ContextPtr source = EnrolledContext();
  std::string current = Get(source.get());
  for (int code = 513; code <= 519; code++) {
    ContextPtr ctx = NewContext();
    ctx->pinless = 5;  // kept when the text has no pinless item
    std::string text = InOlderLayout(current, code);
    ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0) << text;
    EXPECT_EQ(ctx->pinless, code >= 519 ? 1 : 5) << code;
    ASSERT_EQ(ctx->service_count, 2) << code;
    EXPECT_EQ(ctx->services[0].ksc == nullptr, code < 515) << code;

    // Written back, it is a current text with every item; the lost ones are empty.
    ctx->pinless = 1;
    std::string again = Get(ctx.get());
    std::string expected = current;
    if (code < 515) expected.replace(expected.find("ksc7"), 4, "");
    EXPECT_EQ(again, expected) << code;
  }
}

TEST(StateLoad, ShortTextsLoadMissingItemsEmpty) {
  ContextPtr ctx = EnrolledContext();
  ASSERT_EQ(SRStorageDataSet(ctx.get(), "0.2.7&&dev&&rnd&&1&&0&&5&&kf&&"), 0);
  EXPECT_STREQ(ctx->kfact, "kf");
  EXPECT_STREQ(ctx->server_url, "");

  // Cut inside a separator: the "&" left over is not part of the item.
  ASSERT_EQ(SRStorageDataSet(ctx.get(), "0.2.7&&dev&"), 0);
  EXPECT_STREQ(ctx->device_id, "dev");
  std::string written = Get(ctx.get());
  ASSERT_EQ(SRStorageDataSet(ctx.get(), written.c_str()), 0);
  EXPECT_EQ(Get(ctx.get()), written);
  ASSERT_EQ(SRStorageDataSet(ctx.get(), "0.2.7&&&x&&r&"), 0);
  EXPECT_STREQ(ctx->device_id, "&x");  // a leading "&" is kept: it cannot merge
  EXPECT_STREQ(ctx->device_random, "r");

  // Cut inside the service list: the records it announced are all there, the missing empty.
  std::string text = Get(NewContext().get());
  text = text.substr(0, text.rfind("0&&0&&0&&0&&0&&&&&&")) + "3&&7&&a&amp;b&&ic";
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  ASSERT_EQ(ctx->service_count, 3);
  EXPECT_STREQ(ctx->services[0].name, "a&b");
  EXPECT_STREQ(ctx->services[0].icon, "ic");
  EXPECT_STREQ(ctx->services[2].ksc, "");
}

TEST(StateLoad, DamagedCounts) {
  std::string fresh = Get(NewContext().get());
  std::string head = fresh.substr(0, fresh.rfind("0&&0&&0&&0&&0&&&&&&"));

  // A negative count loads no records; the items after it keep their places.
  ContextPtr ctx = NewContext();
  std::string text = head + "-4&&1&&7&&key&&0&&0&&1&&nv&&";
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  EXPECT_EQ(ctx->service_count, 0);
  EXPECT_STREQ(ctx->new_version, "nv");

  // Huge counts cost memory in proportion to the text; the result still round-trips.
  for (const char* count : {"2147483647", "99999999999"}) {
    text = head + count + "&&1&&n&&";
    ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
    EXPECT_TRUE(ctx->service_count > 0 && ctx->service_count <= 256);
    std::string written = Get(ctx.get());
    ContextPtr again = NewContext();
    ASSERT_EQ(SRStorageDataSet(again.get(), written.c_str()), 0);
    EXPECT_EQ(Get(again.get()), written);
  }
  text = head + "0&&0&&2000000000&&5&&";  // message count, then its time
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  EXPECT_LE(ctx->message_count, 256);
  EXPECT_EQ(ctx->messages_time, 5);

  // A count the text really holds is honoured beyond the trusted size.
  text = head + "1000&&";
  for (int i = 0; i < 1000; i++) text += std::to_string(i) + "&&n&&i&&0&&s&&k&&";
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  ASSERT_EQ(ctx->service_count, 1000);
}

TEST(StateLoad, NumbersReadAsAtoi) {
  ContextPtr ctx = NewContext();
  ASSERT_EQ(SRStorageDataSet(ctx.get(), "0.2.7&&&&&& 12x&&-&&+3&&"), 0);
  EXPECT_EQ(ctx->blocked, 12);
  EXPECT_EQ(ctx->pinless, 0);
  EXPECT_EQ(ctx->last_sync, 3);
}

TEST(AmpUnescape, NotRescanned) {
  char* text = srAmpUnescape("&amp;amp;&am&amp;p;");
  EXPECT_STREQ(text, "&amp;&am&p;");
  free(text);
}

}  // namespace
