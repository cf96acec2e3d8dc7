// Recovering values the service made with its private key: OAEP blocks (encoded by OpenSSL, or
// built by hand for the odd cases) raised to the private exponent.
#include <gtest/gtest.h>

#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::ToHex;

const rsa_test::RsaTestKey& kKey = rsa_test::SharedKey1024();

std::string Recover(const Bytes& cipher, const rsa_test::RsaTestKey& key = kKey) {
  return Take(srRsaRecoverHex(ToHex(cipher).c_str(), key.ModulusHex().c_str()));
}

Bytes Pattern(size_t length, unsigned char start) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; i++) bytes[i] = static_cast<unsigned char>(start + i);
  return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A hand-built block: DB = lHash || ps || message (ps normally zeros then 0x01), top byte 0.
Bytes HandBlock(const Bytes& label_hash, const Bytes& ps, const Bytes& message) {
  return kKey.PrivateRaw(rsa_test::OaepBlock(Pattern(32, 0x21), Concat(Concat(label_hash, ps), message)));
}

const Bytes kLabelHash = rsa_test::Sha256({});

TEST(RsaRecover, BlocksAreConcatenatedInOrder) {
  Bytes a = Pattern(62, 0x10), b = Pattern(1, 0x80);  // a full block and a one-byte one
  Bytes cipher = Concat(Concat(kKey.ServiceBlock(a), kKey.ServiceBlock({})), kKey.ServiceBlock(b));
  EXPECT_EQ(Recover(cipher), ToHex(a) + ToHex(b));  // an empty message adds nothing
  const rsa_test::RsaTestKey large(2048);
  EXPECT_EQ(Recover(large.ServiceBlock(Pattern(190, 3)), large), ToHex(Pattern(190, 3)));
}

TEST(RsaRecover, LenientChecksAcceptNonZeroPaddingAndTopByte) {
  const Bytes message = Pattern(12, 0xa0);
  // k = 128: DB is lHash (32) + PS and separator (51) + message (12); 0x02..0x33 hold no 0x01.
  EXPECT_EQ(Recover(HandBlock(kLabelHash, Concat(Pattern(50, 0x02), {0x01}), message)),
            ToHex(message));
  // The first 0x01 after the label hash separates; later ones belong to the message.
  Bytes early(51, 0x00);
  early[3] = 0x01;
  EXPECT_EQ(Recover(HandBlock(kLabelHash, early, message)),
            ToHex(Concat(Bytes(early.begin() + 4, early.end()), message)));
  // The top byte is not examined (0x01 keeps the block below any 1024-bit modulus).
  Bytes block = rsa_test::OaepBlock(Pattern(32, 0x21),
                                    Concat(Concat(kLabelHash, Concat(Bytes(50, 0), {0x01})), message));
  block[0] = 0x01;
  EXPECT_EQ(Recover(kKey.PrivateRaw(block)), ToHex(message));
}

TEST(RsaRecover, InvalidInputGivesEmptyText) {
  const Bytes good = kKey.ServiceBlock(Pattern(8, 1));
  Bytes wrong_hash = kLabelHash;
  wrong_hash[31] ^= 0x01;
  const Bytes cases[] = {
      kKey.ServiceBlock(Pattern(8, 1), {'x'}),                         // non-empty label
      HandBlock(kLabelHash, Bytes(63, 0x00), {}),                      // no 0x01 separator
      HandBlock(wrong_hash, Concat(Bytes(50, 0), {0x01}), Pattern(12, 0)),  // hash off by a bit
      Concat(good, kKey.ServiceBlock(Pattern(8, 1), {'x'})),           // good then bad block
      Concat(good, {0}),                                               // one byte too many
      Bytes(good.begin(), good.end() - 1),                             // one byte short
      {},
  };
  for (const Bytes& c : cases) EXPECT_EQ(Recover(c), "") << ToHex(c).substr(0, 16);
  EXPECT_EQ(Take(srRsaRecoverHex((ToHex(good) + "7").c_str(), kKey.ModulusHex().c_str())), "");
  EXPECT_EQ(Take(srRsaRecoverHex(nullptr, kKey.ModulusHex().c_str())), "");
  EXPECT_EQ(Take(srRsaRecoverHex(ToHex(good).c_str(), "")), "");
  // k = 64 < 66: the block has no room for the label hash, seed and separator.
  const rsa_test::RsaTestKey small(512);
  Bytes block(64, 0x00);
  block[1] = 0x5a;
  EXPECT_EQ(Recover(small.PrivateRaw(block), small), "");
}

}  // namespace
