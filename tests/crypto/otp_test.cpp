#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <string>

#include "sdk/SRSdk.h"
#include "sdk/crypto/otp_derivation.h"
#include "sdk/string_helpers.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::FromHex;
using rsa_test::ToHex;

const char kK1[] = "00112233445566778899aabbccddeeff";
const char kPinKey[] = "000102030405060708090a0b0c0d0e0f";
const char kSecret[] = "2b7e151628aed2a6abf7158809cf4f3c";

// The service secret as the device stores it: AES-128-ECB under the PIN key, by OpenSSL.
std::string StoredSecret() {
  Bytes key = FromHex(kPinKey), plain = FromHex(kSecret), out(16);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int written = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out.data(), &written, plain.data(), 16);
  EVP_CIPHER_CTX_free(ctx);
  return ToHex(out);
}

std::string Derive(const char* k1, int32_t defi, const char* format, const char* stored,
                   const char* pin_key, int32_t expected_result = SR_OK) {
  char out[SR_OTP_LENGTH + 1] = "unset";
  EXPECT_EQ(srOtpDerive(k1, defi, format, stored, pin_key, out), expected_result);
  return out;
}

TEST(Sha256Int38, AbcVector) {
  // SHA-256("abc") begins ba7816bf 8f01cfea: 0x0a7816bf << 10 | 0x3ea.
  EXPECT_EQ(srSha256Int38(srStrDup("abc")), 179857719274u);
  EXPECT_EQ(srSha256Int38(nullptr), UINT64_MAX);
}

// Expected values computed independently (Python hashlib) from the texts "k1:defi:secret".
TEST(OtpDerive, KnownInputs) {
  const std::string stored = StoredSecret();
  const struct {
    const char* k1;
    int32_t defi;
    const char* stored;
    const char* base36;
    const char* decimal;
  } cases[] = {
      // "<k1>:12:<kSecret>": a positive challenge decrypts the stored secret with the PIN key.
      {kK1, 12, stored.c_str(), "d98uyikd", "06063631"},
      // "<k1>:-5:9b1f...": otherwise the stored text enters unchanged.
      {kK1, -5, "9b1f47c2d0a35e68f4c21077ab3e5d90", "vxoqtu2c", "02732337"},
      // ":12:": empty or NULL k1 and stored secret (decrypting "" gives "").
      {"", 12, "", "48p6ljxc", "00505814"},
      {nullptr, 12, nullptr, "48p6ljxc", "00505814"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Derive(c.k1, c.defi, "8LC", c.stored, kPinKey), c.base36) << c.defi;
    EXPECT_EQ(Derive(c.k1, c.defi, "8C", c.stored, kPinKey), c.decimal) << c.defi;
  }
}

TEST(OtpDerive, PinKeyMattersOnlyForAPositiveChallenge) {
  const std::string stored = StoredSecret();
  const char* other_key = "ffeeddccbbaa99887766554433221100";
  EXPECT_EQ(Derive(kK1, 0, "8LC", stored.c_str(), kPinKey),
            Derive(kK1, 0, "8LC", stored.c_str(), other_key));
  EXPECT_NE(Derive(kK1, 1, "8LC", stored.c_str(), kPinKey),
            Derive(kK1, 1, "8LC", stored.c_str(), other_key));
}

TEST(OtpDerive, UnknownFormatsLeaveTheOutputAlone) {
  for (const char* format : {"", "8lc", "8LC ", "8LCX", "C"})
    EXPECT_EQ(Derive(kK1, 12, format, "", kPinKey, SR_ERR_NOK), "unset") << format;
  EXPECT_EQ(Derive(kK1, 12, nullptr, "", kPinKey, SR_ERR_NOK), "unset");
}

}  // namespace
