#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::ToHex;

const char kKey[] = "000102030405060708090a0b0c0d0e0f";
const char kPlain[] = "00112233445566778899aabbccddeeff";

TEST(AesEcb, Fips197ExamplesAndKeyTexts) {
  // FIPS 197 B and C.1, then keys with extra characters (ignored) or missing bytes (zero); last,
  // upper case, and more bits asked for than the data holds: the data, whole.
  const char* vectors[][3] = {
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
       "3925841d02dc09fbdc118597196a0b32"},
      {kKey, kPlain, "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0fff", kPlain, "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"0001", kPlain, "db5294ec197804c37f712bc661b93a8a"},
  };
  for (const auto& v : vectors) {
    EXPECT_EQ(Take(srHexBlockEncrypt(v[1], v[0])), v[2]);
    EXPECT_EQ(Take(srKeyDecrypt128(v[2], v[0])), v[1]);
  }
  EXPECT_EQ(Take(srHexBlockDecrypt("69C4E0D86A7B0430D8CDB78070B4C55A", kKey, 160)), kPlain);
  EXPECT_EQ(Take(srHexBlockEncrypt(kPlain, nullptr)), "c8a331ff8edd3db175e1545dbefb760b");
}

TEST(AesEcb, PaddedLengthsAndZeroFilledLastBlock) {
  const int32_t cases[][2] = {{-1, 0}, {0, 0}, {1, 16}, {16, 16}, {17, 32}, {40, 48}};
  Bytes in(64, 0x5a), out(64, 0);
  for (const auto& c : cases) {
    EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), c[0], nullptr), c[1]) << c[0];
    EXPECT_EQ(srAesEcbDecrypt(kKey, in.data(), c[0], out.data()), c[1]) << c[0];
    if (c[0] <= 0) continue;
    // The input is exactly as long as stated: a read past it would show under the sanitizers.
    Bytes exact(in.begin(), in.begin() + c[0]), padded = exact;
    padded.resize(static_cast<size_t>(c[1]), 0);
    srAesEcbEncrypt(kKey, exact.data(), c[0], out.data());
    EXPECT_EQ(ToHex(Bytes(out.begin(), out.begin() + c[1])),
              Take(srHexBlockEncrypt(ToHex(padded).c_str(), kKey)));
  }
  // A length whose padded size would not fit in 32 bits is refused, not wrapped.
  EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), INT32_MAX, nullptr), 0);
}

}  // namespace
