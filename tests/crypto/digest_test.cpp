#include <gtest/gtest.h>

#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/random.h"
#include "sdk/string_helpers.h"
#include "support/sdk_handles.h"

namespace {

TEST(Sha256Hex, PublishedExamplesAndNull) {
  const std::string cases[][2] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Take(srSha256Hex(srStrDup(c[0].c_str()))), c[1]) << c[0].substr(0, 10);
    EXPECT_EQ(Take(srSha256Hex32(srStrDup(c[0].c_str()))), c[1].substr(0, 32));
  }
  EXPECT_EQ(Take(srSha256Hex(nullptr)), "");  // a failed input, not the empty text
}

TEST(RandomHex32, DrawsSixteenBytesThroughTheInstalledSource) {
  {
    CountingRandomSource source(0xf0);
    EXPECT_EQ(Take(srRandomHex32()), "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    EXPECT_EQ(source.drawn, 16u);
  }
  EXPECT_NE(Take(srRandomHex32()), Take(srRandomHex32()));  // the system generator is back
}

}  // namespace
