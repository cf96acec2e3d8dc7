// What the SDK encrypts must decrypt with OpenSSL's standard RSA-OAEP (SHA-256, MGF1-SHA-256,
// empty label) and the private key.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::FromHex;
using rsa_test::RsaTestKey;
using rsa_test::ToHex;

// Splits hex ciphertext into k-byte blocks and decrypts each with OpenSSL; the messages are
// concatenated. Fails the test on a block OpenSSL refuses.
Bytes OpenSslDecryptAll(const RsaTestKey& key, const std::string& hex,
                        std::vector<size_t>* sizes = nullptr) {
  Bytes cipher = FromHex(hex);
  EXPECT_EQ(cipher.size() % key.Size(), 0u);
  Bytes plain;
  for (size_t at = 0; at + key.Size() <= cipher.size(); at += key.Size()) {
    Bytes block(cipher.begin() + static_cast<long>(at),
                cipher.begin() + static_cast<long>(at + key.Size()));
    auto message = key.OaepDecrypt(block);
    EXPECT_TRUE(message.has_value()) << "block at " << at;
    if (!message) return {};
    if (sizes != nullptr) sizes->push_back(message->size());
    plain.insert(plain.end(), message->begin(), message->end());
  }
  return plain;
}

TEST(RsaEncrypt, SixteenByteKeyIsOneBlockOpenSslDecrypts) {
  const std::string pin_key = "00112233445566778899aabbccddeeff";
  std::string cipher =
      Take(srRsaEncryptHex(pin_key.c_str(), rsa_test::SharedKey1024().ModulusHex().c_str()));
  ASSERT_EQ(cipher.size(), 256u);
  EXPECT_EQ(ToHex(OpenSslDecryptAll(rsa_test::SharedKey1024(), cipher)), pin_key);
}

TEST(RsaEncrypt, DataIsCutIntoBlocksOfKMinus66Bytes) {
  // 62 bytes fill one block exactly; 63 need a second block holding one byte.
  const struct {
    size_t length;
    std::vector<size_t> pieces;
  } cases[] = {{1, {1}},        {62, {62}},         {63, {62, 1}},
               {124, {62, 62}}, {125, {62, 62, 1}}, {200, {62, 62, 62, 14}}};
  for (const auto& c : cases) {
    std::string text;
    for (size_t i = 0; i < c.length; i++) text.push_back(static_cast<char>('A' + i % 26));
    std::string cipher =
        Take(srRsaEncryptText(text.c_str(), rsa_test::SharedKey1024().ModulusHex().c_str()));
    EXPECT_EQ(cipher.size(), c.pieces.size() * 256) << c.length;
    std::vector<size_t> sizes;
    Bytes plain = OpenSslDecryptAll(rsa_test::SharedKey1024(), cipher, &sizes);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), text) << c.length;
    EXPECT_EQ(sizes, c.pieces) << c.length;
  }
}

TEST(RsaEncrypt, OtherModulusForms) {
  const RsaTestKey& key = rsa_test::SharedKey1024();
  std::string upper = key.ModulusHex();
  for (char& c : upper) c = static_cast<char>(toupper(c));
  for (const std::string& modulus : {upper, "0000" + key.ModulusHex()}) {
    // Leading zero bytes do not count towards k.
    std::string cipher = Take(srRsaEncryptHex("abcdef", modulus.c_str()));
    ASSERT_EQ(cipher.size(), 256u);
    EXPECT_EQ(ToHex(OpenSslDecryptAll(key, cipher)), "abcdef");
  }
  // An odd hex digit reads as the high nibble of a last byte.
  EXPECT_EQ(ToHex(OpenSslDecryptAll(key, Take(srRsaEncryptHex("abc", key.ModulusHex().c_str())))),
            "abc0");
}

TEST(RsaEncrypt, ModuliFrom67BytesUpTo4096Bits) {
  // The smallest modulus that fits a message byte: every byte gets a block of its own.
  const RsaTestKey smallest(536);
  ASSERT_EQ(smallest.Size(), 67u);
  std::string cipher = Take(srRsaEncryptText("hi!", smallest.ModulusHex().c_str()));
  ASSERT_EQ(cipher.size(), 3u * 134u);
  EXPECT_EQ(ToHex(OpenSslDecryptAll(smallest, cipher)), "686921");

  const RsaTestKey large(2048);
  std::string text(300, 'z');
  cipher = Take(srRsaEncryptText(text.c_str(), large.ModulusHex().c_str()));
  ASSERT_EQ(cipher.size(), 2u * 512u);  // 190 + 110 bytes
  Bytes plain = OpenSslDecryptAll(large, cipher);
  EXPECT_EQ(std::string(plain.begin(), plain.end()), text);

  // 4096 bits is the largest accepted; a made-up odd modulus is enough to see the block size.
  EXPECT_EQ(Take(srRsaEncryptHex("01", std::string(1024, 'f').c_str())).size(), 1024u);
  EXPECT_EQ(Take(srRsaEncryptHex("01", ("01" + std::string(1024, 'f')).c_str())), "");
}

TEST(RsaEncrypt, UnusableInputGivesEmptyTextWithoutDrawingRandomBytes) {
  CountingRandomSource source;
  const std::string& modulus = rsa_test::SharedKey1024().ModulusHex();
  const std::string too_short = "c" + std::string(131, 'f');  // 66 bytes: no room for a message
  const struct {
    const char* data;
    const char* modulus;
  } cases[] = {
      {"", modulus.c_str()},
      {nullptr, modulus.c_str()},
      {"00", nullptr},
      {"00", ""},
      {"00", "00"},
      {"00", too_short.c_str()},
      {"00", "000000000000ffff"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Take(srRsaEncryptText(c.data, c.modulus)), "");
    EXPECT_EQ(Take(srRsaEncryptHex(c.data, c.modulus)), "");
  }
  EXPECT_EQ(source.drawn(), 0u);
}

TEST(RsaEncrypt, EachBlockDrawsItsSeedFromTheRandomSource) {
  const RsaTestKey& key = rsa_test::SharedKey1024();
  std::string first, second;
  {
    CountingRandomSource source(0x40);
    first = Take(srRsaEncryptText(std::string(130, 'q').c_str(), key.ModulusHex().c_str()));
    EXPECT_EQ(source.drawn(), 3u * 32u);
  }
  {
    CountingRandomSource source(0x40);
    second = Take(srRsaEncryptText(std::string(130, 'q').c_str(), key.ModulusHex().c_str()));
  }
  EXPECT_EQ(first, second);  // same source, same ciphertext

  // The first block's seed is the first 32 bytes drawn: unmask it with the private key.
  Bytes em = key.PrivateRaw(Bytes(FromHex(first.substr(0, 256))));
  Bytes masked_seed(em.begin() + 1, em.begin() + 33), masked_db(em.begin() + 33, em.end());
  Bytes seed_mask = rsa_test::Mgf1Sha256(masked_db, 32);
  Bytes seed(32);
  for (size_t i = 0; i < 32; i++) seed[i] = masked_seed[i] ^ seed_mask[i];
  EXPECT_EQ(ToHex(seed),
            ToHex(Bytes{0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a,
                        0x4b, 0x4c, 0x4d, 0x4e, 0x4f, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55,
                        0x56, 0x57, 0x58, 0x59, 0x5a, 0x5b, 0x5c, 0x5d, 0x5e, 0x5f}));
}

TEST(RsaProcess, SizeQueries) {
  const std::string& modulus = rsa_test::SharedKey1024().ModulusHex();
  Bytes in(400, 1);
  EXPECT_EQ(srRsaEncrypt(modulus.c_str(), SR_RSA_EXPONENT_HEX, in.data(), 200, nullptr), 512);
  EXPECT_EQ(srRsaEncrypt(modulus.c_str(), SR_RSA_EXPONENT_HEX, in.data(), 62, nullptr), 128);
  EXPECT_EQ(srRsaRecover(modulus.c_str(), SR_RSA_EXPONENT_HEX, in.data(), 384, nullptr), 186);
  EXPECT_EQ(srRsaRecover(modulus.c_str(), SR_RSA_EXPONENT_HEX, in.data(), 385, nullptr), 248);
  EXPECT_EQ(srRsaEncrypt(modulus.c_str(), SR_RSA_EXPONENT_HEX, in.data(), 0, nullptr), 0);
  EXPECT_EQ(srRsaEncrypt(modulus.c_str(), "", in.data(), 10, nullptr), 0);
  // A size beyond int32 is refused rather than wrapped.
  EXPECT_EQ(srRsaEncrypt(modulus.c_str(), SR_RSA_EXPONENT_HEX, in.data(), INT32_MAX, nullptr), 0);
}

}  // namespace
