// RSA key pairs made with OpenSSL, playing the service's side of the SDK's RSA use: the public
// key in the SDK's form (modulus hex, exponent 17), the raw private operation, OAEP-SHA-256
// encryption and decryption, and hand-built OAEP blocks. Any OpenSSL failure throws.
#ifndef NRD_TESTS_SUPPORT_RSA_TEST_KEYS_H
#define NRD_TESTS_SUPPORT_RSA_TEST_KEYS_H

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace rsa_test {

using Bytes = std::vector<unsigned char>;

inline void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("OpenSSL failure: ") + what);
}

inline std::string ToHex(const Bytes& bytes) {
  std::string hex;
  char pair[3];
  for (unsigned char b : bytes) hex.append(pair, std::snprintf(pair, sizeof pair, "%02x", b));
  return hex;
}

// Strict decoding for test data: an odd length or a character that is not a hex digit throws.
inline Bytes FromHex(const std::string& hex) {
  long length = 0;
  unsigned char* raw = OPENSSL_hexstr2buf(hex.c_str(), &length);
  Check(raw != nullptr && hex.find(':') == std::string::npos, "OPENSSL_hexstr2buf");
  Bytes bytes(raw, raw + length);
  OPENSSL_free(raw);
  return bytes;
}

inline Bytes Sha256(const Bytes& data) {
  Bytes digest(32);
  Check(EVP_Digest(data.data(), data.size(), digest.data(), nullptr, EVP_sha256(), nullptr) == 1,
        "EVP_Digest");
  return digest;
}

// MGF1 with SHA-256, written from RFC 8017 B.2.1 for building blocks OpenSSL will not build.
inline Bytes Mgf1Sha256(const Bytes& seed, size_t length) {
  Bytes mask;
  for (uint32_t counter = 0; mask.size() < length; counter++) {
    Bytes input = seed;
    for (int shift = 24; shift >= 0; shift -= 8)
      input.push_back(static_cast<unsigned char>(counter >> shift));
    Bytes piece = Sha256(input);
    mask.insert(mask.end(), piece.begin(), piece.end());
  }
  mask.resize(length);
  return mask;
}

// The encoded block 0x00 || maskedSeed || maskedDB for any 32-byte seed and any data block
// (normally lHash || PS || 0x01 || M); k = 1 + 32 + db.size().
inline Bytes OaepBlock(const Bytes& seed, const Bytes& db) {
  Bytes masked_db = db;
  Bytes db_mask = Mgf1Sha256(seed, db.size());
  for (size_t i = 0; i < db.size(); i++) masked_db[i] ^= db_mask[i];
  Bytes masked_seed = seed;
  Bytes seed_mask = Mgf1Sha256(masked_db, seed.size());
  for (size_t i = 0; i < seed.size(); i++) masked_seed[i] ^= seed_mask[i];
  Bytes block(1 + masked_seed.size() + masked_db.size(), 0x00);
  std::copy(masked_seed.begin(), masked_seed.end(), block.begin() + 1);
  std::copy(masked_db.begin(), masked_db.end(), block.begin() + 1 + masked_seed.size());
  return block;
}

class RsaTestKey {
 public:
  // A fresh key pair from OpenSSL's generator (OpenSSL accepts 512 bits and up).
  explicit RsaTestKey(unsigned bits = 1024, unsigned exponent = 17) {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), EVP_PKEY_CTX_free);
    Check(ctx != nullptr, "EVP_PKEY_CTX_new_from_name");
    Check(EVP_PKEY_keygen_init(ctx.get()) == 1, "EVP_PKEY_keygen_init");
    Check(EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), static_cast<int>(bits)) == 1,
          "set_rsa_keygen_bits");
    std::unique_ptr<BIGNUM, decltype(&BN_free)> e(BN_new(), BN_free);
    Check(e != nullptr && BN_set_word(e.get(), exponent) == 1, "BN_set_word");
    Check(EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) == 1, "set1_rsa_keygen_pubexp");
    EVP_PKEY* raw = nullptr;
    Check(EVP_PKEY_generate(ctx.get(), &raw) == 1, "EVP_PKEY_generate");
    key_.reset(raw);

    BIGNUM* n = nullptr;
    Check(EVP_PKEY_get_bn_param(key_.get(), OSSL_PKEY_PARAM_RSA_N, &n) == 1, "get n");
    Bytes modulus(static_cast<size_t>(BN_num_bytes(n)));
    BN_bn2bin(n, modulus.data());
    BN_free(n);
    modulus_hex_ = ToHex(modulus);
  }

  EVP_PKEY* Key() const { return key_.get(); }
  // The public key as the SDK takes it: the modulus' big-endian bytes, lower-case hex.
  const std::string& ModulusHex() const { return modulus_hex_; }
  size_t Size() const { return modulus_hex_.size() / 2; }  // k, the modulus length in bytes

  // block^d mod n; block is k bytes and below n.
  Bytes PrivateRaw(const Bytes& block) const {
    std::optional<Bytes> out = Decrypt(block, RSA_NO_PADDING, {});
    Check(out.has_value(), "raw private operation");
    return *out;
  }

  // Standard RSA-OAEP with SHA-256 and MGF1-SHA-256 (one block).
  Bytes OaepEncrypt(const Bytes& message, const Bytes& label = {}) const {
    return Encrypt(message, RSA_PKCS1_OAEP_PADDING, label);
  }
  std::optional<Bytes> OaepDecrypt(const Bytes& ciphertext) const {
    return Decrypt(ciphertext, RSA_PKCS1_OAEP_PADDING, {});
  }

  // What the service sends for a value the SDK recovers: the OAEP block OpenSSL makes for the
  // message (its own encryption undone with the raw private operation), raised to d.
  Bytes ServiceBlock(const Bytes& message, const Bytes& label = {}) const {
    return PrivateRaw(PrivateRaw(OaepEncrypt(message, label)));
  }

 private:
  using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

  PkeyCtx Context(int padding, const Bytes& label, bool encrypt) const {
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key_.get(), nullptr), EVP_PKEY_CTX_free);
    Check(ctx != nullptr, "EVP_PKEY_CTX_new_from_pkey");
    Check((encrypt ? EVP_PKEY_encrypt_init(ctx.get()) : EVP_PKEY_decrypt_init(ctx.get())) == 1,
          "crypt_init");
    Check(EVP_PKEY_CTX_set_rsa_padding(ctx.get(), padding) == 1, "set_rsa_padding");
    if (padding == RSA_PKCS1_OAEP_PADDING) {
      Check(EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) == 1, "set_rsa_oaep_md");
      Check(EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) == 1, "set_rsa_mgf1_md");
      if (!label.empty()) {
        void* copy = OPENSSL_memdup(label.data(), label.size());
        Check(copy != nullptr, "OPENSSL_memdup");
        Check(
            EVP_PKEY_CTX_set0_rsa_oaep_label(ctx.get(), copy, static_cast<int>(label.size())) == 1,
            "set0_rsa_oaep_label");
      }
    }
    return ctx;
  }

  Bytes Encrypt(const Bytes& in, int padding, const Bytes& label) const {
    PkeyCtx ctx = Context(padding, label, true);
    size_t length = Size();
    Bytes out(length);
    Check(EVP_PKEY_encrypt(ctx.get(), out.data(), &length, in.data(), in.size()) == 1,
          "EVP_PKEY_encrypt");
    out.resize(length);
    return out;
  }

  std::optional<Bytes> Decrypt(const Bytes& in, int padding, const Bytes& label) const {
    PkeyCtx ctx = Context(padding, label, false);
    size_t length = Size();
    Bytes out(length);
    if (EVP_PKEY_decrypt(ctx.get(), out.data(), &length, in.data(), in.size()) != 1) {
      ERR_clear_error();  // a refused block is an expected outcome, not a leftover error
      return std::nullopt;
    }
    out.resize(length);
    return out;
  }

  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{nullptr, EVP_PKEY_free};
  std::string modulus_hex_;
};

// One 1024-bit key per process: generating keys is the slow part of a test run.
inline const RsaTestKey& SharedKey1024() {
  static const RsaTestKey key(1024);
  return key;
}

}  // namespace rsa_test

#endif
