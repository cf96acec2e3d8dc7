#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
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
ContextPtr EnrolledContext() {
  ContextPtr ctx = NewContext();
  SRContext* c = ctx.get();
  SetText(&c->device_id, "dev42");
  SetText(&c->device_random, "00112233445566778899aabbccddeeff");
  c->blocked = 1;
  c->pinless = 1;
  c->last_sync = 1700000000;
  SetText(&c->kfact, "c0ffee");
  c->connected_until = -7;
  SetText(&c->server_url, "https://srv.example:8443");
  SetText(&c->j_value, "J");
  SetText(&c->k_value, "K");
  SetText(&c->k0, "k0k0");
  SetText(&c->k1, "k1k1");
  c->j_time = 11;
  c->sync_int_1 = 1;
  c->sync_int_2 = 2;
  c->sync_int_3 = 3;
  c->sync_int_4 = 4;
  c->sync_int_5 = 5;
  c->sync_int_6 = INT32_MIN;
  SetText(&c->sync_text_1, "t1");
  SetText(&c->sync_text_2, "t2");
  SetText(&c->h_value, "hh");
  c->service_count = 2;
  c->services = static_cast<SRService*>(calloc(2, sizeof(SRService)));
  c->services[0] = {7, srStrDup("Mail & Web"), srStrDup("i&&con"), srStrDup("1"), srStrDup("ksc7"),
                    1, srStrDup("http://u"),   srStrDup("p")};
  c->services[1] = {
      8, srStrDup("lit &amp; name"), srStrDup(""), srStrDup("0"), nullptr, 0, nullptr, nullptr};
  c->service_key_count = 1;
  c->service_keys = static_cast<SRServiceKey*>(calloc(1, sizeof(SRServiceKey)));
  c->service_keys[0] = {7, srStrDup("aabb")};
  c->messages_time = 99;
  c->message_count = 2;
  c->messages = static_cast<SRMessage*>(calloc(2, sizeof(SRMessage)));
  c->messages[0] = {1, srStrDup("Hello & welcome"), srStrDup("a&b&&c&"), 2};
  c->messages[1] = {2, srStrDup(""), nullptr, 0};
  c->version_refused = 1;
  SetText(&c->new_version, "1.2&beta");
  SetText(&c->new_version_url, "http://x/?a=1&b=2");
  return ctx;
}

TEST(StateSerialize, FreshContext) {
  ContextPtr ctx = NewContext();
  EXPECT_EQ(Get(ctx.get()),
            "0.2.7&&&&&&0&&0&&0&&&&0&&&&&&&&&&&&0&&0&&0&&0&&0&&0&&0&&&&&&&&"
            "0&&0&&0&&0&&0&&&&&&");
}

TEST(StateSerialize, EnrolledContextText) {
  ContextPtr ctx = EnrolledContext();
  ctx->storage_changed = 1;
  EXPECT_EQ(Get(ctx.get()),
            "0.2.7&&dev42&&00112233445566778899aabbccddeeff&&1&&1&&1700000000&&c0ffee&&-7&&"
            "https://srv.example:8443&&J&&K&&k0k0&&k1k1&&11&&1&&2&&3&&4&&5&&-2147483648&&"
            "t1&&t2&&hh&&"
            "2&&7&&Mail &amp; Web&&i&amp;&amp;con&&1&&1&&ksc7&&8&&lit &amp;amp; name&&&&0&&0&&&&"
            "1&&7&&aabb&&"
            "2&&99&&1&&Hello &amp; welcome&&a&amp;b&amp;&amp;c&amp;&&2&&2&&&&&&0&&"
            "1&&1.2&amp;beta&&http://x/?a=1&amp;b=2&&");
  EXPECT_EQ(ctx->storage_changed, 1);  // writing the text leaves the flag alone
}

TEST(StateLoad, RoundTripRestoresEveryField) {
  ContextPtr source = EnrolledContext();
  std::string text = Get(source.get());
  ContextPtr ctx = NewContext();
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  EXPECT_EQ(Get(ctx.get()), text);
  EXPECT_EQ(ctx->storage_changed, 0);

  SRContext* c = ctx.get();
  EXPECT_STREQ(c->device_id, "dev42");
  EXPECT_EQ(srIsActivated(c), 1);
  EXPECT_EQ(c->sync_int_6, INT32_MIN);
  ASSERT_EQ(c->service_count, 2);
  EXPECT_STREQ(c->services[0].name, "Mail & Web");
  EXPECT_STREQ(c->services[0].icon, "i&&con");
  EXPECT_STREQ(c->services[0].ksc, "ksc7");
  EXPECT_EQ(c->services[0].url, nullptr);  // not carried by the text
  EXPECT_EQ(c->services[0].pattern, nullptr);
  EXPECT_STREQ(c->services[1].name, "lit &amp; name");  // escaped once more, loaded back as is
  EXPECT_STREQ(c->services[1].ksc, "");
  ASSERT_EQ(c->service_key_count, 1);
  EXPECT_STREQ(c->service_keys[0].key, "aabb");
  ASSERT_EQ(c->message_count, 2);
  EXPECT_STREQ(c->messages[0].content, "a&b&&c&");
  EXPECT_EQ(c->messages[0].ack, 2);
  EXPECT_STREQ(c->messages[1].content, "");
  EXPECT_STREQ(c->new_version_url, "http://x/?a=1&b=2");
}

TEST(StateLoad, ReplacesEverythingAndLeavesTheSessionAlone) {
  ContextPtr ctx = EnrolledContext();
  SetText(&ctx->challenge, "in-progress");
  ctx->storage_changed = 1;
  ASSERT_EQ(SRStorageDataSet(ctx.get(), Get(NewContext().get()).c_str()), 0);
  EXPECT_EQ(Get(ctx.get()), Get(NewContext().get()));
  EXPECT_STREQ(ctx->challenge, "in-progress");
  EXPECT_EQ(ctx->storage_changed, 1);
}

TEST(StateVersion, Codes) {
  const char* versions[] = {"0.2.1", "0.2.2", "0.2.3", "0.2.4", "0.2.5", "0.2.6", "0.2.7"};
  for (int i = 0; i < 7; i++) EXPECT_EQ(srStateVersionCode(nullptr, versions[i]), 513 + i);
  for (const char* refused : {"0.2.8", "0.0.10", "CA.0.0.10", "", "0.2.7 ", "0.2"})
    EXPECT_EQ(srStateVersionCode(nullptr, refused), 0) << refused;
}

TEST(StateLoad, UnknownVersionChangesNothing) {
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
    if (code >= 515) {
      EXPECT_STREQ(ctx->services[0].ksc, "ksc7") << code;
    } else {
      EXPECT_EQ(ctx->services[0].ksc, nullptr) << code;
    }
    EXPECT_STREQ(ctx->services[1].name, "lit &amp; name") << code;
    ASSERT_EQ(ctx->service_key_count, 1) << code;
    EXPECT_STREQ(ctx->new_version_url, "http://x/?a=1&b=2") << code;

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
  EXPECT_STREQ(ctx->device_id, "dev");
  EXPECT_STREQ(ctx->kfact, "kf");
  EXPECT_STREQ(ctx->server_url, "");
  EXPECT_EQ(ctx->connected_until, 0);
  EXPECT_EQ(ctx->service_count, 0);
  EXPECT_EQ(ctx->message_count, 0);
  EXPECT_STREQ(ctx->new_version, "");

  // Cut inside a separator: the "&" left over is not part of the item, so the text written back
  // loads to the same state.
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
  EXPECT_EQ(ctx->services[0].id, 7);
  EXPECT_STREQ(ctx->services[0].name, "a&b");
  EXPECT_STREQ(ctx->services[0].icon, "ic");
  EXPECT_STREQ(ctx->services[0].secure, "");
  EXPECT_EQ(ctx->services[2].id, 0);
  EXPECT_STREQ(ctx->services[2].name, "");
  EXPECT_STREQ(ctx->services[2].ksc, "");
  EXPECT_EQ(ctx->service_key_count, 0);
  EXPECT_EQ(ctx->version_refused, 0);
}

TEST(StateLoad, DamagedCounts) {
  std::string fresh = Get(NewContext().get());
  std::string head = fresh.substr(0, fresh.rfind("0&&0&&0&&0&&0&&&&&&"));

  // A negative count loads no records; the items after it keep their places.
  ContextPtr ctx = NewContext();
  std::string text = head + "-4&&1&&7&&key&&0&&0&&1&&nv&&";
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  EXPECT_EQ(ctx->service_count, 0);
  ASSERT_EQ(ctx->service_key_count, 1);
  EXPECT_STREQ(ctx->service_keys[0].key, "key");
  EXPECT_STREQ(ctx->new_version, "nv");

  // Huge counts cost memory in proportion to the text, not to the count, and the result
  // still writes and loads back to the same text.
  for (const char* count : {"2000000000", "2147483647", "99999999999"}) {
    text = head + count + "&&1&&n&&";
    ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
    EXPECT_GT(ctx->service_count, 0);
    EXPECT_LE(ctx->service_count, 256);
    EXPECT_EQ(ctx->services[0].id, 1);
    std::string written = Get(ctx.get());
    ContextPtr again = NewContext();
    ASSERT_EQ(SRStorageDataSet(again.get(), written.c_str()), 0);
    EXPECT_EQ(Get(again.get()), written);
  }
  text = head + "0&&2000000000&&";  // key count
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  EXPECT_LE(ctx->service_key_count, 256);
  text = head + "0&&0&&2000000000&&5&&";  // message count, then its time
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  EXPECT_LE(ctx->message_count, 256);
  EXPECT_EQ(ctx->messages_time, 5);

  // A count the text really holds is honoured beyond the trusted size.
  text = head + "1000&&";
  for (int i = 0; i < 1000; i++) text += std::to_string(i) + "&&n&&i&&0&&s&&k&&";
  ASSERT_EQ(SRStorageDataSet(ctx.get(), text.c_str()), 0);
  ASSERT_EQ(ctx->service_count, 1000);
  EXPECT_EQ(ctx->services[999].id, 999);
}

TEST(StateLoad, NumbersReadAsAtoi) {
  ContextPtr ctx = NewContext();
  ASSERT_EQ(SRStorageDataSet(ctx.get(), "0.2.7&&&&&& 12x&&-&&+3&&"), 0);
  EXPECT_EQ(ctx->blocked, 12);
  EXPECT_EQ(ctx->pinless, 0);
  EXPECT_EQ(ctx->last_sync, 3);
}

TEST(AmpUnescape, NotRescanned) {
  for (auto [in, out] : std::vector<std::pair<const char*, const char*>>{
           {"", ""}, {"a&amp;b", "a&b"}, {"&amp;amp;", "&amp;"}, {"&am&amp;p;", "&am&p;"}}) {
    char* text = srAmpUnescape(in);
    EXPECT_STREQ(text, out) << in;
    free(text);
  }
}

}  // namespace
