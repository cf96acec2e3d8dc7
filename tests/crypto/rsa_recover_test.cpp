// The SDK recovers values the service made with its private key: OAEP blocks (encoded by
// OpenSSL, or built by hand for the odd cases) raised to the private exponent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::RsaTestKey;
using rsa_test::ToHex;

std::string Recover(const Bytes& cipher, const RsaTestKey& key = rsa_test::SharedKey1024()) {
  return Take(srRsaRecoverHex(ToHex(cipher).c_str(), key.ModulusHex().c_str()));
}

Bytes Pattern(size_t length, unsigned char start) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; i++) bytes[i] = static_cast<unsigned char>(start + i);
  return bytes;
}

// DB = lHash || ps || message for a hand-built block (ps normally zeros then 0x01).
Bytes DataBlock(const Bytes& label_hash, const Bytes& ps, const Bytes& message) {
  Bytes db = label_hash;
  db.insert(db.end(), ps.begin(), ps.end());
  db.insert(db.end(), message.begin(), message.end());
  return db;
}

const Bytes kEmptyLabelHash = rsa_test::Sha256({});

TEST(RsaRecover, OpenSslEncodedBlocks) {
  for (size_t length : {1u, 16u, 61u, 62u}) {
    Bytes message = Pattern(length, static_cast<unsigned char>(length));
    EXPECT_EQ(Recover(rsa_test::SharedKey1024().ServiceBlock(message)), ToHex(message)) << length;
  }
}

TEST(RsaRecover, BlocksAreConcatenatedInOrder) {
  // Three blocks yield at most 3 x 62 bytes; a block with an empty message adds nothing.
  Bytes a = Pattern(62, 0x10), b = Pattern(62, 0x80), c = Pattern(5, 0xf0);
  Bytes cipher;
  for (const Bytes& m : {a, Bytes{}, b, c}) {
    Bytes block = rsa_test::SharedKey1024().ServiceBlock(m);
    cipher.insert(cipher.end(), block.begin(), block.end());
  }
  EXPECT_EQ(Recover(cipher), ToHex(a) + ToHex(b) + ToHex(c));
}

TEST(RsaRecover, LargerModulus) {
  const RsaTestKey key(2048);
  Bytes message = Pattern(190, 3);
  EXPECT_EQ(Recover(key.ServiceBlock(message), key), ToHex(message));
}

TEST(RsaRecover, LenientChecksAcceptNonZeroPaddingAndTopByte) {
  const Bytes seed = Pattern(32, 0x21);
  const Bytes message = Pattern(12, 0xa0);
  // k = 128: DB is 95 bytes = lHash (32) + PS and separator (51) + message (12).
  Bytes ps = Pattern(50, 0x02);  // 0x02..0x33: no 0x01 among them
  ps.push_back(0x01);
  Bytes block = rsa_test::OaepBlock(seed, DataBlock(kEmptyLabelHash, ps, message));
  EXPECT_EQ(Recover(rsa_test::SharedKey1024().PrivateRaw(block)), ToHex(message));

  // The first 0x01 after the label hash separates; later ones belong to the message.
  Bytes early(51, 0x00);
  early[3] = 0x01;
  Bytes expected(early.begin() + 4, early.end());
  expected.insert(expected.end(), message.begin(), message.end());
  block = rsa_test::OaepBlock(seed, DataBlock(kEmptyLabelHash, early, message));
  EXPECT_EQ(Recover(rsa_test::SharedKey1024().PrivateRaw(block)), ToHex(expected));

  // The top byte is not examined (0x01 keeps the block below any 1024-bit modulus).
  Bytes zeros(50, 0x00);
  zeros.push_back(0x01);
  block = rsa_test::OaepBlock(seed, DataBlock(kEmptyLabelHash, zeros, message));
  block[0] = 0x01;
  EXPECT_EQ(Recover(rsa_test::SharedKey1024().PrivateRaw(block)), ToHex(message));
}

TEST(RsaRecover, InvalidBlocksGiveEmptyText) {
  const Bytes seed = Pattern(32, 0x21);
  const Bytes good = rsa_test::SharedKey1024().ServiceBlock(Pattern(8, 1));
  Bytes no_separator(63, 0x00);
  no_separator.back() = 0x02;
  Bytes wrong_hash = kEmptyLabelHash;
  wrong_hash[31] ^= 0x01;
  Bytes separator(51, 0x00);
  separator.back() = 0x01;

  const struct {
    const char* what;
    Bytes cipher;
  } cases[] = {
      {"label hash of a non-empty label",
       rsa_test::SharedKey1024().ServiceBlock(Pattern(8, 1), {'x'})},
      {"no 0x01 after the label hash", rsa_test::SharedKey1024().PrivateRaw(rsa_test::OaepBlock(
                                           seed, DataBlock(kEmptyLabelHash, no_separator, {})))},
      {"label hash off by one bit", rsa_test::SharedKey1024().PrivateRaw(rsa_test::OaepBlock(
                                        seed, DataBlock(wrong_hash, separator, Pattern(12, 0))))},
      {"a good block followed by a bad one",
       [&] {
         Bytes both = good;
         Bytes bad = rsa_test::SharedKey1024().ServiceBlock(Pattern(8, 1), {'x'});
         both.insert(both.end(), bad.begin(), bad.end());
         return both;
       }()},
      {"one byte more than whole blocks",
       [&] {
         Bytes longer = good;
         longer.push_back(0);
         return longer;
       }()},
      {"one byte short", Bytes(good.begin(), good.end() - 1)},
  };
  for (const auto& c : cases) EXPECT_EQ(Recover(c.cipher), "") << c.what;
}

TEST(RsaRecover, UnusableTextsGiveEmptyText) {
  const RsaTestKey& key = rsa_test::SharedKey1024();
  std::string good = ToHex(key.ServiceBlock(Pattern(8, 1)));
  // An odd digit more stands for a byte past the whole blocks.
  EXPECT_EQ(Take(srRsaRecoverHex((good + "7").c_str(), key.ModulusHex().c_str())), "");
  EXPECT_EQ(Take(srRsaRecoverHex("", key.ModulusHex().c_str())), "");
  EXPECT_EQ(Take(srRsaRecoverHex(nullptr, key.ModulusHex().c_str())), "");
  EXPECT_EQ(Take(srRsaRecoverHex(good.c_str(), nullptr)), "");
  EXPECT_EQ(Take(srRsaRecoverHex(good.c_str(), "")), "");

  // k = 64 < 66: the block has no room for the label hash, seed and separator.
  const RsaTestKey small(512);
  Bytes block(64, 0x00);
  block[1] = 0x5a;
  EXPECT_EQ(Recover(small.PrivateRaw(block), small), "");
}

}  // namespace
