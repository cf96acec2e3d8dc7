#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "crypto_test_helpers.h"
#include "sdk/SRSdk.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/otp_derivation.h"
#include "sdk/string_helpers.h"

namespace {

const char kK1[] = "00112233445566778899aabbccddeeff";
const char kPinKey[] = "000102030405060708090a0b0c0d0e0f";
const char kSecret[] = "2b7e151628aed2a6abf7158809cf4f3c";

std::string Derive(const char* k1, int32_t defi, const char* format, const char* stored,
                   const char* pin_key = kPinKey, int32_t expected_result = SR_OK) {
  char out[SR_OTP_LENGTH + 1] = "unset";
  EXPECT_EQ(srOtpDerive(k1, defi, format, stored, pin_key, out), expected_result);
  return out;
}

// Expected values computed independently (Python hashlib) from the texts "k1:defi:secret".
TEST(OtpDerive, KnownInputs) {
  // SHA-256("abc") begins ba7816bf 8f01cfea: 0x0a7816bf << 10 | 0x3ea.
  EXPECT_EQ(srSha256Int38(srStrDup("abc")), 179857719274u);
  EXPECT_EQ(srSha256Int38(nullptr), UINT64_MAX);
  // The service secret as the device stores it: AES-128-ECB under the PIN key.
  const std::string stored = Take(srHexBlockEncrypt(kSecret, kPinKey));
  const char* cases[][5] = {
      // k1, defi, stored, 8LC, 8C. A positive challenge decrypts the stored secret with the
      // PIN key; otherwise the stored text enters unchanged. NULL acts as "".
      {kK1, "12", stored.c_str(), "d98uyikd", "06063631"},
      {kK1, "-5", "9b1f47c2d0a35e68f4c21077ab3e5d90", "vxoqtu2c", "02732337"},
      {"", "12", "", "48p6ljxc", "00505814"},
      {nullptr, "12", nullptr, "48p6ljxc", "00505814"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Derive(c[0], std::stoi(c[1]), "8LC", c[2]), c[3]) << c[1];
    EXPECT_EQ(Derive(c[0], std::stoi(c[1]), "8C", c[2]), c[4]) << c[1];
  }
  const char* other_key = "ffeeddccbbaa99887766554433221100";
  EXPECT_EQ(Derive(kK1, 0, "8LC", kSecret), Derive(kK1, 0, "8LC", kSecret, other_key));
  EXPECT_NE(Derive(kK1, 1, "8LC", kSecret), Derive(kK1, 1, "8LC", kSecret, other_key));
  for (const char* format : {"", "8lc", "8LC ", "8LCX", "C", static_cast<const char*>(nullptr)})
    EXPECT_EQ(Derive(kK1, 12, format, "", kPinKey, SR_ERR_NOK), "unset");  // left alone
}

}  // namespace
