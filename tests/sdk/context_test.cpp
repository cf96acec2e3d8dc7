#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/string_helpers.h"
#include "support/sdk_handles.h"

namespace {

TEST(SRInit, DefaultsAndCuts) {
  std::string serial(100, 'S');
  ContextPtr ctx(SRInit(0, serial.c_str(), std::string(64, 'K').c_str(), NoTransport, nullptr));
  ASSERT_TRUE(ctx);
  EXPECT_EQ(std::string(ctx->device_serial), std::string(64, 'S'));
  EXPECT_EQ(std::string(ctx->unique_key), std::string(64, 'K'));
  EXPECT_STREQ(ctx->ws_server_url, SR_DEFAULT_WS_SERVER_URL);
  EXPECT_EQ(ctx->ws_timeout, 10000);
  EXPECT_STREQ(ctx->version, "0.2.7");
  EXPECT_STREQ(ctx->language, "fr");
  EXPECT_STREQ(ctx->mvault_id, "");
  EXPECT_STREQ(ctx->device_id, "");
  EXPECT_EQ(ctx->response_body, nullptr);
  EXPECT_EQ(ctx->finalize_data_key, nullptr);
  EXPECT_EQ(ctx->service_count, 0);
  EXPECT_EQ(ctx->services, nullptr);
  EXPECT_EQ(ctx->transport_user, ctx.get());
  EXPECT_EQ(srIsActivated(ctx.get()), 0);

  int user = 0;
  ContextPtr withUser(SRInit(0, "s", "k", NoTransport, &user));
  EXPECT_EQ(withUser->transport_user, &user);
}

TEST(SRInit, SettersCopyAndHostVersionDoesNotAccumulate) {
  ContextPtr ctx(SRInit(0, "serial", "key", NoTransport, nullptr));
  SRHostVersionSet(ctx.get(), "9.1");
  SRHostVersionSet(ctx.get(), "9.2");
  EXPECT_STREQ(ctx->version, "9.2/0.2.7");
  std::string url = "http://example.invalid";
  SRWsServerSet(ctx.get(), url.c_str());
  url[0] = 'X';
  EXPECT_STREQ(ctx->ws_server_url, "http://example.invalid");
  SRWsTimeoutSet(ctx.get(), 5);
  EXPECT_EQ(ctx->ws_timeout, 5);
  SRMvaultSet(ctx.get(), "mv");
  EXPECT_STREQ(ctx->mvault_id, "mv");
}

TEST(SRInit, ResponseBodyIsCopiedAndReplaced) {
  ContextPtr ctx(SRInit(0, "serial", "key", NoTransport, nullptr));
  SRWsResponseSet(ctx.get(), "<r/>");
  EXPECT_STREQ(ctx->response_body, "<r/>");
  SRWsResponseSet(ctx.get(), nullptr);
  EXPECT_EQ(ctx->response_body, nullptr);
}

TEST(SRInit, StateResetForgetsTheEnrolment) {
  ContextPtr ctx(SRInit(0, "serial", "key", NoTransport, nullptr));
  ctx->device_id = srStrReplace(ctx->device_id, srStrDup("dev"));
  ctx->blocked = 1;
  EXPECT_EQ(srIsActivated(ctx.get()), 1);
  srStateReset(ctx.get());
  EXPECT_EQ(srIsActivated(ctx.get()), 0);
  EXPECT_EQ(ctx->blocked, 0);
  EXPECT_EQ(ctx->storage_changed, 1);
}

}  // namespace
