#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::FromHex;
using rsa_test::ToHex;

struct AesVector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// FIPS 197, appendix B (the cipher example) and appendix C.1 (AES-128).
const AesVector kFips197[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
};

const char kKey[] = "000102030405060708090a0b0c0d0e0f";

// OpenSSL's own AES-128-ECB, no padding, over the input zero-filled to whole blocks.
std::string OpenSslEcbEncrypt(const std::string& key_hex, Bytes plain) {
  plain.resize((plain.size() + 15) / 16 * 16, 0);
  Bytes key = FromHex(key_hex);
  Bytes out(plain.size());
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int written = 0;
  EXPECT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key.data(), nullptr), 1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EXPECT_EQ(
      EVP_EncryptUpdate(ctx, out.data(), &written, plain.data(), static_cast<int>(plain.size())),
      1);
  EVP_CIPHER_CTX_free(ctx);
  return ToHex(out);
}

TEST(AesEcb, Fips197Examples) {
  for (const AesVector& v : kFips197) {
    Bytes plain = FromHex(v.plain);
    Bytes out(16);
    ASSERT_EQ(srAesEcbEncrypt(v.key, plain.data(), 16, out.data()), 16);
    EXPECT_EQ(ToHex(out), v.cipher);
    Bytes cipher = FromHex(v.cipher);
    ASSERT_EQ(srAesEcbDecrypt(v.key, cipher.data(), 16, out.data()), 16);
    EXPECT_EQ(ToHex(out), v.plain);

    EXPECT_EQ(Take(srHexBlockEncrypt(v.plain, v.key)), v.cipher);
    EXPECT_EQ(Take(srKeyDecrypt128(v.cipher, v.key)), v.plain);
    // Hex input of either case.
    std::string upper = v.cipher;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_EQ(Take(srKeyDecrypt128(upper.c_str(), v.key)), v.plain);
  }
}

TEST(AesEcb, PaddedLengths) {
  const struct {
    int32_t length;
    int32_t padded;
  } cases[] = {{-1, 0}, {0, 0}, {1, 16}, {15, 16}, {16, 16}, {17, 32}, {32, 32}, {33, 48}};
  Bytes in(64, 0x5a), out(64, 0);
  for (const auto& c : cases) {
    EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), c.length, nullptr), c.padded) << c.length;
    EXPECT_EQ(srAesEcbDecrypt(kKey, in.data(), c.length, nullptr), c.padded) << c.length;
    EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), c.length, out.data()), c.padded) << c.length;
    EXPECT_EQ(srAesEcbDecrypt(kKey, in.data(), c.length, out.data()), c.padded) << c.length;
  }
  // A length whose padded size would not fit in 32 bits is refused, not wrapped.
  EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), INT32_MAX, nullptr), 0);
}

TEST(AesEcb, ShortLastBlockIsZeroFilledAndBlocksAreIndependent) {
  Bytes plain(40);
  for (size_t i = 0; i < plain.size(); i++) plain[i] = static_cast<unsigned char>(i * 7);
  // Each input is exactly as long as stated: a read past it would show under the sanitizers.
  for (size_t length : {1u, 17u, 40u}) {
    Bytes in(plain.begin(), plain.begin() + static_cast<long>(length));
    Bytes out((length + 15) / 16 * 16);
    srAesEcbEncrypt(kKey, in.data(), static_cast<int32_t>(in.size()), out.data());
    EXPECT_EQ(ToHex(out), OpenSslEcbEncrypt(kKey, in)) << length;
  }
  // No chaining: equal plaintext blocks give equal ciphertext blocks.
  std::string two = Take(srHexBlockEncrypt(std::string(64, '7').c_str(), kKey));
  EXPECT_EQ(two.substr(0, 32), two.substr(32));
}

TEST(AesEcb, DecryptingAPartialBlockReadsItZeroFilled) {
  std::string full = Take(srHexBlockDecrypt("69c4e0d8000000000000000000000000", kKey, 128));
  Bytes in = FromHex("69c4e0d8");
  Bytes out(16);
  ASSERT_EQ(srAesEcbDecrypt(kKey, in.data(), 4, out.data()), 16);
  EXPECT_EQ(ToHex(out), full);
  EXPECT_EQ(Take(srKeyDecrypt128("69c4e0d8", kKey)), full);
  // An odd hex digit reads as the high nibble of a last byte.
  EXPECT_EQ(Take(srKeyDecrypt128("69c4e0d", kKey)),
            Take(srKeyDecrypt128("69c4e0d0000000000000000000000000", kKey)));
}

TEST(AesEcb, KeyTextsOfOtherLengths) {
  const std::string cipher = Take(srHexBlockEncrypt("00112233445566778899aabbccddeeff", kKey));
  // Characters after the 32nd are ignored.
  std::string longer = std::string(kKey) + "ffffffff";
  EXPECT_EQ(Take(srHexBlockEncrypt("00112233445566778899aabbccddeeff", longer.c_str())), cipher);
  // A short key leaves its missing bytes zero; NULL is the all-zero key.
  const char* plain = "00112233445566778899aabbccddeeff";
  EXPECT_EQ(Take(srHexBlockEncrypt(plain, "0001")),
            OpenSslEcbEncrypt("00010000000000000000000000000000", FromHex(plain)));
  EXPECT_EQ(Take(srHexBlockEncrypt(plain, nullptr)),
            OpenSslEcbEncrypt(std::string(32, '0'), FromHex(plain)));
}

TEST(HexBlockEncrypt, RefusesAnythingButWholeBlocks) {
  for (std::string hex :
       {std::string(), std::string(31, 'a'), std::string(33, 'a'), std::string(48, 'a')}) {
    EXPECT_EQ(Take(srHexBlockEncrypt(hex.c_str(), kKey)), "") << hex.size();
  }
  EXPECT_EQ(Take(srHexBlockEncrypt(nullptr, kKey)), "");
  EXPECT_EQ(Take(srHexBlockEncrypt(std::string(96, 'a').c_str(), kKey)).size(), 96u);
}

TEST(HexBlockDecrypt, CutsToTheRequestedBits) {
  std::string two_blocks = Take(srHexBlockEncrypt(std::string(64, 'c').c_str(), kKey));
  EXPECT_EQ(Take(srKeyDecrypt128(two_blocks.c_str(), kKey)), std::string(32, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 256)), std::string(64, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 64)), std::string(16, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 1024)), std::string(64, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 0)), "");
  EXPECT_EQ(Take(srHexBlockDecrypt("", kKey, 128)), "");
  EXPECT_EQ(Take(srHexBlockDecrypt(nullptr, kKey, 128)), "");
}

}  // namespace
