#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "crypto_test_helpers.h"
#include "sdk/SRSdk.h"
#include "sdk/crypto/keyed.h"
#include "sdk/string_helpers.h"
#include "support/rsa_test_keys.h"
#include "support/sdk_handles.h"

namespace {

struct Sha256Vector {
  std::string text;
  const char* digest;
};

// The SHA-256 examples published with FIPS 180-4, and the well-known digest of "".
const Sha256Vector kSha256Vectors[] = {
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
};

TEST(Sha256Hex, PublishedExamples) {
  for (const Sha256Vector& v : kSha256Vectors) {
    EXPECT_EQ(Take(srSha256Hex(srStrDup(v.text.c_str()))), v.digest) << v.text.substr(0, 10);
    EXPECT_EQ(Take(srSha256Hex32(srStrDup(v.text.c_str()))), std::string(v.digest, 32));
  }
}

TEST(Sha256Hex, NullTextIsAFailedInputNotTheEmptyDigest) {
  EXPECT_EQ(Take(srSha256Hex(nullptr)), "");
  EXPECT_EQ(Take(srSha256Hex32(nullptr)), "");
}

class PinKey : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_.reset(SRInit(0, "SERIAL-1", "KEY-1", NoTransport, nullptr));
    ASSERT_TRUE(ctx_);
    SetRandom("0123456789abcdef0123456789abcdef");
  }
  void SetRandom(const char* random) {
    std::free(ctx_->device_random);
    ctx_->device_random = srStrDup(random);
  }
  // First 16 digest bytes, in hex, of the text as OpenSSL hashes it.
  static std::string Expected(const std::string& text) {
    return rsa_test::ToHex(rsa_test::Sha256(rsa_test::Bytes(text.begin(), text.end())))
        .substr(0, 32);
  }

  ContextPtr ctx_;
};

TEST_F(PinKey, IsTheDigestOfPinSemicolonIdentity) {
  const char* identity = "SERIAL-1/KEY-1/0123456789abcdef0123456789abcdef";
  EXPECT_EQ(Take(srPinKeyDerive(ctx_.get(), "1234")), Expected(std::string("1234;") + identity));
  // A NULL PIN acts as the empty one.
  EXPECT_EQ(Take(srPinKeyDerive(ctx_.get(), nullptr)), Expected(std::string(";") + identity));
  EXPECT_EQ(Take(srPinKeyDerive(ctx_.get(), "")), Expected(std::string(";") + identity));
}

TEST_F(PinKey, ChangesWithTheDeviceRandomPart) {
  std::string before = Take(srPinKeyDerive(ctx_.get(), "1234"));
  SetRandom("fedcba9876543210fedcba9876543210");
  EXPECT_NE(Take(srPinKeyDerive(ctx_.get(), "1234")), before);
}

}  // namespace
