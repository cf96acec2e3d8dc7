#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/string_helpers.h"
#include "sdk/ws_exchange.h"
#include "support/sdk_handles.h"

namespace {

// Records each call and answers with the next queued body; nullptr hands nothing back.
struct FakeHost {
  SRContext* ctx = nullptr;
  std::vector<const char*> bodies;
  std::vector<std::string> calls;  // url, timeout and whether the old body was cleared
};

int32_t FakeTransport(const char* url, int32_t timeout, void* user) {
  FakeHost* host = static_cast<FakeHost*>(user);
  host->calls.push_back(std::string(url) + " " + std::to_string(timeout) +
                        (host->ctx->response_body == nullptr ? " cleared" : ""));
  if (host->calls.size() <= host->bodies.size() && host->bodies[host->calls.size() - 1] != nullptr)
    SRWsResponseSet(host->ctx, host->bodies[host->calls.size() - 1]);
  return 200;
}

struct Exchange : ::testing::Test {
  FakeHost host;
  ContextPtr ctx{SRInit(0, "serial", "key", FakeTransport, &host)};
  void SetUp() override { host.ctx = ctx.get(); }
};

TEST_F(Exchange, BaseIsServerUrlWhenSetElseConfiguredUrl) {
  SRWsServerSet(ctx.get(), "http://configured");
  SRWsTimeoutSet(ctx.get(), 1234);
  srFree(srWsRequest(ctx.get(), SR_WS_PATH, "ActionSetup", "&mode=activate"));
  ctx->server_url = srStrReplace(ctx->server_url, srStrDup("https://from-reply:9"));
  srFree(srWsRequest(ctx.get(), SR_WS_PATH, "ActionFinalize", "&mode=activate&id=d"));
  EXPECT_EQ(host.calls, (std::vector<std::string>{
      "http://configured/srws/MAC?action=ActionSetup&mode=activate 1234 cleared",
      "https://from-reply:9/srws/MAC?action=ActionFinalize&mode=activate&id=d 1234 cleared"}));
}

TEST_F(Exchange, ReplyIsParsedAndTheBodyConsumed) {
  host.bodies = {"<r><err>OK</err><challenge>c1</challenge></r>"};
  NodePtr doc(srWsRequest(ctx.get(), SR_WS_PATH, "ActionSetup", ""));
  EXPECT_STREQ(srDocText(doc.get(), "challenge"), "c1");
  EXPECT_EQ(ctx->response_body, nullptr);

  // No usable body gives no document; a body left over from before is cleared ahead of the call.
  SRWsResponseSet(ctx.get(), "<r><err>OK</err></r>");
  host.bodies = {nullptr, nullptr, "", "<r><err>OK</err>", "not markup"};
  for (size_t i = 1; i < host.bodies.size(); i++) {
    EXPECT_EQ(srWsRequest(ctx.get(), SR_WS_PATH, "ActionSetup", ""), nullptr) << i;
    EXPECT_NE(host.calls[i].find(" cleared"), std::string::npos) << i;
    EXPECT_EQ(ctx->response_body, nullptr) << i;
  }
}

TEST_F(Exchange, WarningsAccumulateAcrossReplies) {
  host.bodies = {
      "<r><err>OK</err><warning><code>W1</code><arg>a</arg><arg>b</arg></warning>"
      "<warning></warning></r>",
      "<r><warning><arg></arg><code>W3</code></warning><err>OK</err></r>",
      "<r><err>OK</err></r>",
  };
  for (int i = 0; i < 3; i++) srNodeFree(srWsRequest(ctx.get(), SR_WS_PATH, "ActionSetup", ""));
  ASSERT_EQ(ctx->warning_count, 3);
  ASSERT_EQ(ctx->warnings[0].arg_count + ctx->warnings[1].arg_count * 10, 2);
  EXPECT_STREQ(ctx->warnings[0].args[1], "b");
  ASSERT_EQ(ctx->warnings[2].arg_count, 1);
  EXPECT_STREQ(ctx->warnings[2].args[0], "");  // an "arg" without text is an empty argument
}

TEST_F(Exchange, ResultTexts) {
  const std::pair<const char*, int32_t> cases[] = {
      {"NOK:CODE", 2},         {"NOK:SN", 3},          {"NOK:ACCESS", 4},
      {"NOK:SAT", 6},          {"NOK:STATE", 8},       {"NOK:NOCA", 10},
      {"NOK:NOSRV", 11},       {"NOK:PINREUSED", 12},  {"NOK:SYNCHROFAILED", 13},
      {"NOK:FORBIDDEN", 14},   {"NOK:PINREFUSED", 15}, {"NOK:TIMEOUT", 16},
      {"NOK:URL", 17},         {"NOK", 999},           {"nok", 1},
      {"NOK:SOMETHINGNEW", 1}, {"", 1},                {"NOK:VERSION ", 1},
      {"NOK:BLOCKED", 1}};
  ctx->device_id = srStrReplace(ctx->device_id, srStrDup("dev"));
  for (const auto& [text, code] : cases) {
    EXPECT_EQ(srResultCode(ctx.get(), nullptr, text), code) << text;
    EXPECT_EQ(ctx->storage_changed, 0) << text;
  }
  EXPECT_EQ(ctx->blocked + ctx->version_refused, 0);
  EXPECT_STREQ(ctx->device_id, "dev");

  EXPECT_EQ(srResultCode(ctx.get(), nullptr, "NOK:VERSION"), 5);
  EXPECT_EQ(ctx->version_refused, 1);
  EXPECT_EQ(SRStorageDataChanged(ctx.get()), 1);

  for (const char* blocked : {"NOK_BLOCKED", "OK:BLOCKED"}) {
    ctx->blocked = 0;
    EXPECT_EQ(srResultCode(ctx.get(), nullptr, blocked), 7) << blocked;
    EXPECT_EQ(ctx->blocked + SRStorageDataChanged(ctx.get()), 2) << blocked;
  }

  ctx->services = static_cast<SRService*>(calloc(1, sizeof(SRService)));
  ctx->service_count = 1;
  ctx->services[0].name = srStrDup("svc");
  EXPECT_EQ(srResultCode(ctx.get(), nullptr, "NOK:NODEVICE"), 9);
  EXPECT_EQ(srIsActivated(ctx.get()) + ctx->version_refused + ctx->service_count, 0);
  EXPECT_EQ(SRStorageDataChanged(ctx.get()), 1);
}

}  // namespace
