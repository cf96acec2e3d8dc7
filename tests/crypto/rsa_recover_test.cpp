// Recovering OAEP blocks (by OpenSSL, or by hand for odd cases) raised to the private exponent.
#include <gtest/gtest.h>

#include <string>

#include "crypto_test_helpers.h"
#include "sdk/crypto/keyed.h"
#include "support/rsa_test_keys.h"

namespace {

using rsa_test::Bytes;
using rsa_test::ToHex;

const rsa_test::RsaTestKey& kKey = rsa_test::SharedKey1024();
const Bytes kLabelHash = rsa_test::Sha256({});

std::string Recover(const Bytes& cipher, const rsa_test::RsaTestKey& key = kKey) {
  return Take(srRsaRecoverHex(ToHex(cipher).c_str(), key.ModulusHex().c_str()));
}

Bytes Cat(Bytes a, const Bytes& b, const Bytes& c = {}) {
  a.insert(a.end(), b.begin(), b.end());
  a.insert(a.end(), c.begin(), c.end());
  return a;
}

// An OAEP block with DB = label hash || ps || message (ps normally zeros then 0x01).
Bytes Block(const Bytes& label_hash, const Bytes& ps, const Bytes& message) {
  return rsa_test::OaepBlock(Bytes(32, 0x21), Cat(label_hash, ps, message));
}

TEST(RsaRecover, LenientChecksAcceptNonZeroPaddingAndTopByte) {
  const Bytes message(12, 0xa0);
  // k = 128: DB is lHash (32) + PS and separator (51) + message (12). The first 0x01 after the
  // label hash separates; later ones belong to the message.
  Bytes ps(51, 0x02);
  ps[3] = 0x01;
  EXPECT_EQ(Recover(kKey.PrivateRaw(Block(kLabelHash, ps, message))),
            ToHex(Cat(Bytes(ps.begin() + 4, ps.end()), message)));
  // The top byte is not examined (0x01 keeps the block below any 1024-bit modulus).
  Bytes block = Block(kLabelHash, Cat(Bytes(50, 0), {0x01}), message);
  block[0] = 0x01;
  EXPECT_EQ(Recover(kKey.PrivateRaw(block)), ToHex(message));
}

TEST(RsaRecover, InvalidInputGivesEmptyText) {
  const Bytes good = kKey.ServiceBlock(Bytes(8, 1)), bad = kKey.ServiceBlock(Bytes(8, 1), {'x'});
  Bytes wrong_hash = kLabelHash;
  wrong_hash[31] ^= 0x01;
  const Bytes cases[] = {
      bad,                                                                      // label "x"
      kKey.PrivateRaw(Block(kLabelHash, Bytes(63, 0x00), {})),                  // no separator
      kKey.PrivateRaw(Block(wrong_hash, Cat(Bytes(50, 0), {0x01}), Bytes(12, 0))),  // one bit off
      Cat(good, bad), Cat(good, {0}), Bytes(good.begin(), good.end() - 1), {},
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
