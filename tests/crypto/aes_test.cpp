#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::FromHex;
using rsa_test::ToHex;

const char kKey[] = "000102030405060708090a0b0c0d0e0f";

// OpenSSL's own AES-128-ECB, no padding, over the input zero-filled to whole blocks.
std::string OpenSslEcbEncrypt(const std::string& key_hex, Bytes plain) {
  plain.resize((plain.size() + 15) / 16 * 16, 0);
  Bytes key = FromHex(key_hex), out(plain.size());
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int written = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out.data(), &written, plain.data(), static_cast<int>(plain.size()));
  EVP_CIPHER_CTX_free(ctx);
  return ToHex(out);
}

TEST(AesEcb, Fips197Examples) {
  const char* vectors[][3] = {  // key, plain, cipher: appendix B and appendix C.1
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
       "3925841d02dc09fbdc118597196a0b32"},
      {kKey, "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
  };
  for (const auto& v : vectors) {
    EXPECT_EQ(Take(srHexBlockEncrypt(v[1], v[0])), v[2]);
    EXPECT_EQ(Take(srKeyDecrypt128(v[2], v[0])), v[1]);
  }
  EXPECT_EQ(Take(srKeyDecrypt128("69C4E0D86A7B0430D8CDB78070B4C55A", kKey)), vectors[1][1]);
}

TEST(AesEcb, PaddedLengths) {
  const int32_t cases[][2] = {{-1, 0}, {0, 0}, {1, 16}, {16, 16}, {17, 32}, {33, 48}};
  Bytes in(64, 0x5a), out(64, 0);
  for (const auto& c : cases) {
    EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), c[0], nullptr), c[1]) << c[0];
    EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), c[0], out.data()), c[1]) << c[0];
    EXPECT_EQ(srAesEcbDecrypt(kKey, in.data(), c[0], out.data()), c[1]) << c[0];
  }
  // A length whose padded size would not fit in 32 bits is refused, not wrapped.
  EXPECT_EQ(srAesEcbEncrypt(kKey, in.data(), INT32_MAX, nullptr), 0);
}

TEST(AesEcb, ShortLastBlockIsZeroFilledAndBlocksAreIndependent) {
  // Each input is exactly as long as stated: a read past it would show under the sanitizers.
  for (size_t length : {1u, 17u, 40u}) {
    Bytes in(length);
    for (size_t i = 0; i < length; i++) in[i] = static_cast<unsigned char>(i * 7);
    Bytes out((length + 15) / 16 * 16);
    srAesEcbEncrypt(kKey, in.data(), static_cast<int32_t>(in.size()), out.data());
    EXPECT_EQ(ToHex(out), OpenSslEcbEncrypt(kKey, in)) << length;
  }
  // Decrypting reads a partial block zero-filled; an odd hex digit is a high nibble.
  std::string full = Take(srKeyDecrypt128("69c4e0d0000000000000000000000000", kKey));
  EXPECT_EQ(Take(srKeyDecrypt128("69c4e0d", kKey)), full);
  Bytes in = FromHex("69c4e0d0"), out(16);
  ASSERT_EQ(srAesEcbDecrypt(kKey, in.data(), 4, out.data()), 16);
  EXPECT_EQ(ToHex(out), full);
}

TEST(AesEcb, KeyTextsOfOtherLengths) {
  const char* plain = "00112233445566778899aabbccddeeff";
  // Characters after the 32nd are ignored; a short key leaves its missing bytes zero; NULL is
  // the all-zero key.
  EXPECT_EQ(Take(srHexBlockEncrypt(plain, (std::string(kKey) + "ff").c_str())),
            OpenSslEcbEncrypt(kKey, FromHex(plain)));
  EXPECT_EQ(Take(srHexBlockEncrypt(plain, "0001")),
            OpenSslEcbEncrypt("00010000000000000000000000000000", FromHex(plain)));
  EXPECT_EQ(Take(srHexBlockEncrypt(plain, nullptr)),
            OpenSslEcbEncrypt(std::string(32, '0'), FromHex(plain)));
}

TEST(HexBlockCipher, WholeBlocksOnlyAndCutToTheRequestedBits) {
  for (std::string hex : {std::string(), std::string(31, 'a'), std::string(48, 'a')})
    EXPECT_EQ(Take(srHexBlockEncrypt(hex.c_str(), kKey)), "") << hex.size();
  EXPECT_EQ(Take(srHexBlockEncrypt(nullptr, kKey)), "");

  std::string two_blocks = Take(srHexBlockEncrypt(std::string(64, 'c').c_str(), kKey));
  EXPECT_EQ(two_blocks.substr(0, 32), two_blocks.substr(32));  // no chaining
  EXPECT_EQ(Take(srKeyDecrypt128(two_blocks.c_str(), kKey)), std::string(32, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 64)), std::string(16, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 1024)), std::string(64, 'c'));
  EXPECT_EQ(Take(srHexBlockDecrypt(two_blocks.c_str(), kKey, 0)), "");
  EXPECT_EQ(Take(srHexBlockDecrypt(nullptr, kKey, 128)), "");
}

}  // namespace
