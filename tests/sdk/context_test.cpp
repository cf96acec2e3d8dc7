#include <gtest/gtest.h>

#include <string>

#include "sdk/SRSdk.h"
#include "sdk/context.h"
#include "sdk/string_helpers.h"
#include "support/sdk_handles.h"

namespace {

TEST(SRInit, DefaultsAndCuts) {
  ContextPtr ctx(SRInit(0, std::string(100, 'S').c_str(), std::string(65, 'K').c_str(),
                        NoTransport, nullptr));
  ASSERT_TRUE(ctx);
  EXPECT_EQ(std::string(ctx->device_serial), std::string(64, 'S'));
  EXPECT_EQ(std::string(ctx->unique_key), std::string(64, 'K'));
  EXPECT_EQ(ctx->ws_timeout, 10000);
  EXPECT_STREQ(ctx->language, "fr");
  EXPECT_EQ(ctx->transport_user, ctx.get());
  EXPECT_EQ(srIsActivated(ctx.get()), 0);

  SRHostVersionSet(ctx.get(), "9.1");
  SRHostVersionSet(ctx.get(), "9.2");
  EXPECT_STREQ(ctx->version, "9.2/0.2.7");  // does not accumulate

  ctx->device_id = srStrReplace(ctx->device_id, srStrDup("dev"));
  ctx->blocked = 1;
  EXPECT_EQ(srIsActivated(ctx.get()), 1);
  srStateReset(ctx.get());
  EXPECT_EQ(srIsActivated(ctx.get()), 0);
  EXPECT_EQ(ctx->blocked, 0);
  EXPECT_EQ(ctx->storage_changed, 1);
}

}  // namespace
