// What the SDK encrypts must decrypt with OpenSSL's RSA-OAEP (SHA-256, MGF1-SHA-256, empty label).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <pthread.h>
#endif

#include <cstdlib>
#include <string>
#include <vector>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::RsaTestKey;

// Decrypts each k-byte block with OpenSSL and joins the messages; "!" on a refused block.
std::string OpenSslDecryptAll(const RsaTestKey& key, const std::string& hex,
                              std::vector<size_t>* sizes = nullptr) {
  Bytes cipher = rsa_test::FromHex(hex), plain;
  if (cipher.empty() || cipher.size() % key.Size() != 0) return "!";
  for (auto at = cipher.begin(); at != cipher.end(); at += static_cast<long>(key.Size())) {
    auto message = key.OaepDecrypt(Bytes(at, at + static_cast<long>(key.Size())));
    if (!message) return "!";
    if (sizes != nullptr) sizes->push_back(message->size());
    plain.insert(plain.end(), message->begin(), message->end());
  }
  return std::string(plain.begin(), plain.end());
}

TEST(RsaEncrypt, DataIsCutIntoBlocksOfKMinus66Bytes) {
  const RsaTestKey& key = rsa_test::SharedKey1024();
  const RsaTestKey smallest(536);  // 67 bytes: every message byte gets a block of its own
  const std::pair<const RsaTestKey*, std::vector<size_t>> cases[] = {
      {&key, {1}}, {&key, {62}}, {&key, {62, 1}}, {&smallest, {1, 1}}, {&key, {62, 62, 62, 14}}};
  for (const auto& [k, pieces] : cases) {
    std::string text;
    for (size_t piece : pieces) text += std::string(piece, static_cast<char>('A' + text.size()));
    std::vector<size_t> sizes;
    std::string cipher = Take(srRsaEncryptText(text.c_str(), k->ModulusHex().c_str()));
    EXPECT_EQ(OpenSslDecryptAll(*k, cipher, &sizes), text);
    EXPECT_EQ(sizes, pieces) << text.size();
  }
  // Hex data, an upper-case zero-led modulus (leading zeros do not count towards k); an odd
  // digit is the high nibble of a last byte.
  std::string modulus = "0000" + key.ModulusHex();
  for (char& c : modulus) c = static_cast<char>(toupper(c));
  EXPECT_EQ(OpenSslDecryptAll(key, Take(srRsaEncryptHex("414", modulus.c_str()))), "A@");
  // 4096 bits is the largest accepted; a made-up odd modulus shows the block size.
  EXPECT_EQ(Take(srRsaEncryptHex("01", std::string(1024, 'f').c_str())).size(), 1024u);
  EXPECT_EQ(Take(srRsaEncryptHex("01", ("01" + std::string(1024, 'f')).c_str())), "");
}

TEST(RsaEncrypt, UnusableInputGivesEmptyTextWithoutDrawingRandomBytes) {
  CountingRandomSource source;
  const std::string& modulus = rsa_test::SharedKey1024().ModulusHex();
  const std::string too_short = "c" + std::string(131, 'f');  // 66 bytes: no room for a message
  const char* cases[][2] = {{"", modulus.c_str()}, {nullptr, modulus.c_str()}, {"00", nullptr},
                            {"00", ""},            {"00", too_short.c_str()}};
  for (const auto& c : cases) {
    EXPECT_EQ(Take(srRsaEncryptText(c[0], c[1])), "");
    EXPECT_EQ(Take(srRsaEncryptHex(c[0], c[1])), "");
  }
  EXPECT_EQ(source.drawn, 0u);
  const char* n = modulus.c_str();  // size queries; a size beyond int32 is refused, not wrapped
  Bytes in(400, 1);
  EXPECT_EQ(srRsaEncrypt(n, SR_RSA_EXPONENT_HEX, in.data(), 200, nullptr), 512);
  EXPECT_EQ(srRsaRecover(n, SR_RSA_EXPONENT_HEX, in.data(), 385, nullptr), 248);
  EXPECT_EQ(srRsaEncrypt(n, "", in.data(), 10, nullptr), 0);
  EXPECT_EQ(srRsaEncrypt(n, SR_RSA_EXPONENT_HEX, in.data(), INT32_MAX, nullptr), 0);
}

TEST(RsaEncrypt, EachBlockDrawsItsSeedFromTheRandomSource) {
  const RsaTestKey& key = rsa_test::SharedKey1024();
  CountingRandomSource source(0x40);
  std::string cipher = Take(srRsaEncryptText(std::string(130, 'q').c_str(),
                                              key.ModulusHex().c_str()));
  EXPECT_EQ(source.drawn, 3u * 32u);
  // The first block's seed is the first 32 bytes drawn: unmask it with the private key.
  Bytes em = key.PrivateRaw(rsa_test::FromHex(cipher.substr(0, 256)));
  Bytes seed_mask = rsa_test::Mgf1Sha256(Bytes(em.begin() + 33, em.end()), 32);
  for (size_t i = 0; i < 32; i++) EXPECT_EQ(em[1 + i] ^ seed_mask[i], 0x40 + static_cast<int>(i));
}

#ifndef _WIN32
// Without a per-thread slot (every pthread key taken before the crypto code's first use) the
// RSA step still works, with the key read for the call.
TEST(RsaEncryptDeathTest, WorksWithoutAPerThreadSlot) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where no slot exists yet
  EXPECT_EXIT(
      {
        const RsaTestKey& key = rsa_test::SharedKey1024();
        OpenSslDecryptAll(key, std::string(2 * key.Size(), '0'));  // OpenSSL's own keys first
        pthread_key_t taken;
        while (pthread_key_create(&taken, nullptr) == 0) {
        }
        const std::string cipher = Take(srRsaEncryptText("2468", key.ModulusHex().c_str()));
        std::exit(OpenSslDecryptAll(key, cipher) == "2468" ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
