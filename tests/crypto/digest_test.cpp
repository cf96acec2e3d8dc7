#include <gtest/gtest.h>

#include <string>

#include "crypto_test_helpers.h"
#include "sdk/SRSdk.h"
#include "sdk/crypto/keyed.h"
#include "sdk/string_helpers.h"
#include "support/rsa_test_keys.h"
#include "support/sdk_handles.h"

namespace {

TEST(Sha256Hex, PublishedExamplesAndNull) {
  const struct {
    std::string text;
    const char* digest;
  } cases[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Take(srSha256Hex(srStrDup(c.text.c_str()))), c.digest) << c.text.substr(0, 10);
    EXPECT_EQ(Take(srSha256Hex32(srStrDup(c.text.c_str()))), std::string(c.digest, 32));
  }
  // NULL is a failed input, not the empty text.
  EXPECT_EQ(Take(srSha256Hex(nullptr)), "");
  EXPECT_EQ(Take(srSha256Hex32(nullptr)), "");
}

TEST(PinKey, IsTheDigestOfPinSemicolonIdentity) {
  ContextPtr ctx(SRInit(0, "SERIAL-1", "KEY-1", NoTransport, nullptr));
  ctx->device_random = srStrReplace(ctx->device_random, srStrDup("0123456789abcdef"));
  auto expected = [](const std::string& pin) {
    std::string text = pin + ";SERIAL-1/KEY-1/0123456789abcdef";
    return rsa_test::ToHex(rsa_test::Sha256(rsa_test::Bytes(text.begin(), text.end())))
        .substr(0, 32);
  };
  EXPECT_EQ(Take(srPinKeyDerive(ctx.get(), "1234")), expected("1234"));
  EXPECT_EQ(Take(srPinKeyDerive(ctx.get(), nullptr)), expected(""));  // NULL acts as ""
}

}  // namespace
