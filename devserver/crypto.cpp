#include "crypto.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <stdexcept>

namespace devserver {

namespace {

constexpr size_t kHashLen = 32;
constexpr size_t kOaepOverhead = 2 * kHashLen + 2;

template <typename T, void (*F)(T*)>
struct Deleter {
  void operator()(T* p) const { F(p); }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, Deleter<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;
using BigNum = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

Bytes mgf1(const uint8_t* seed, size_t seedLen, size_t length) {
  Bytes out;
  out.reserve(length + kHashLen);
  for (uint32_t counter = 0; out.size() < length; ++counter) {
    Bytes input(seed, seed + seedLen);
    for (int shift = 24; shift >= 0; shift -= 8) {
      input.push_back(static_cast<uint8_t>(counter >> shift));
    }
    const Bytes digest =
        sha256(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
    out.insert(out.end(), digest.begin(), digest.end());
  }
  out.resize(length);
  return out;
}

std::optional<Bytes> aesEcb(const Bytes& key, const Bytes& data, bool encrypt) {
  if (key.size() != 16 || data.size() % 16 != 0) return std::nullopt;
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr,
                                encrypt ? 1 : 0) != 1) {
    return std::nullopt;
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  Bytes out(data.size() + 16);
  int written = 0;
  int tail = 0;
  if (EVP_CipherUpdate(ctx.get(), out.data(), &written, data.data(),
                       static_cast<int>(data.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), out.data() + written, &tail) != 1) {
    return std::nullopt;
  }
  out.resize(static_cast<size_t>(written) + static_cast<size_t>(tail));
  return out;
}

}  // namespace

Bytes sha256(std::string_view text) {
  Bytes digest(kHashLen);
  unsigned int len = 0;
  if (EVP_Digest(text.data(), text.size(), digest.data(), &len, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  return digest;
}

std::string sha256Hex(std::string_view text) {
  return hexEncode(sha256(text));
}

std::string sha256Hex32(std::string_view text) {
  return sha256Hex(text).substr(0, 32);
}

Bytes randomBytes(size_t count) {
  Bytes out(count);
  if (count > 0 && RAND_bytes(out.data(), static_cast<int>(count)) != 1) {
    throw std::runtime_error("random generator failed");
  }
  return out;
}

std::string randomHex32() {
  return hexEncode(randomBytes(16));
}

std::optional<Bytes> aesEcbEncrypt(const Bytes& key, const Bytes& data) {
  return aesEcb(key, data, true);
}

std::optional<Bytes> aesEcbDecrypt(const Bytes& key, const Bytes& data) {
  return aesEcb(key, data, false);
}

std::optional<Bytes> oaepEncode(const Bytes& message, size_t k) {
  if (k < kOaepOverhead || message.size() > k - kOaepOverhead) return std::nullopt;
  // DB = lHash || PS (zeros) || 0x01 || M, k - 33 bytes long.
  const size_t dbLen = k - kHashLen - 1;
  Bytes db = sha256("");
  db.resize(dbLen - message.size() - 1, 0x00);
  db.push_back(0x01);
  db.insert(db.end(), message.begin(), message.end());

  Bytes seed = randomBytes(kHashLen);
  const Bytes dbMask = mgf1(seed.data(), seed.size(), dbLen);
  for (size_t i = 0; i < dbLen; ++i) db[i] ^= dbMask[i];
  const Bytes seedMask = mgf1(db.data(), db.size(), kHashLen);
  for (size_t i = 0; i < kHashLen; ++i) seed[i] ^= seedMask[i];

  Bytes block;
  block.reserve(k);
  block.push_back(0x00);
  block.insert(block.end(), seed.begin(), seed.end());
  block.insert(block.end(), db.begin(), db.end());
  return block;
}

void RsaKey::Free::operator()(evp_pkey_st* key) const {
  EVP_PKEY_free(key);
}

std::optional<RsaKey> RsaKey::generate(int bits) {
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  BigNum exponent(BN_new());
  if (!ctx || !exponent || BN_set_word(exponent.get(), kPublicExponent) != 1 ||
      EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), bits) != 1 ||
      EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), exponent.get()) != 1) {
    return std::nullopt;
  }
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_generate(ctx.get(), &key) != 1) return std::nullopt;
  return RsaKey(key);
}

std::optional<RsaKey> RsaKey::fromPem(const std::string& pem) {
  Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return std::nullopt;
  EVP_PKEY* raw = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
  if (raw == nullptr) return std::nullopt;
  RsaKey key(raw);
  BIGNUM* e = nullptr;
  const bool ok = EVP_PKEY_is_a(raw, "RSA") &&
                  EVP_PKEY_get_bn_param(raw, OSSL_PKEY_PARAM_RSA_E, &e) == 1 &&
                  BN_is_word(e, kPublicExponent);
  BN_free(e);
  if (!ok) return std::nullopt;
  return key;
}

std::string RsaKey::toPem() const {
  Bio bio(BIO_new(BIO_s_mem()));
  if (!bio ||
      PEM_write_bio_PrivateKey(bio.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    throw std::runtime_error("cannot write an RSA key as PEM");
  }
  char* data = nullptr;
  const long len = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(len));
}

Bytes RsaKey::modulus() const {
  BIGNUM* n = nullptr;
  if (EVP_PKEY_get_bn_param(key_.get(), OSSL_PKEY_PARAM_RSA_N, &n) != 1) {
    throw std::runtime_error("cannot read an RSA modulus");
  }
  Bytes out(static_cast<size_t>(BN_num_bytes(n)));
  BN_bn2bin(n, out.data());
  BN_free(n);
  return out;
}

size_t RsaKey::size() const {
  return static_cast<size_t>(EVP_PKEY_get_size(key_.get()));
}

std::optional<Bytes> RsaKey::privateTransform(const Bytes& data) const {
  const size_t k = size();
  if (k <= kOaepOverhead) return std::nullopt;
  const size_t piece = k - kOaepOverhead;
  Bytes out;
  for (size_t offset = 0; offset < data.size(); offset += piece) {
    const size_t len = std::min(piece, data.size() - offset);
    const auto block = oaepEncode(Bytes(data.begin() + static_cast<std::ptrdiff_t>(offset),
                                        data.begin() + static_cast<std::ptrdiff_t>(offset + len)),
                                  k);
    if (!block) return std::nullopt;
    // The raw private operation (no padding) is m^d mod n on a k-byte block.
    PkeyCtx ctx(EVP_PKEY_CTX_new(key_.get(), nullptr));
    size_t outLen = k;
    Bytes result(k);
    if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1 ||
        EVP_PKEY_decrypt(ctx.get(), result.data(), &outLen, block->data(), block->size()) != 1 ||
        outLen != k) {
      return std::nullopt;
    }
    out.insert(out.end(), result.begin(), result.end());
  }
  return out;
}

std::optional<Bytes> RsaKey::oaepDecrypt(const Bytes& cipher) const {
  const size_t k = size();
  if (cipher.size() % k != 0) return std::nullopt;
  Bytes out;
  for (size_t offset = 0; offset < cipher.size(); offset += k) {
    PkeyCtx ctx(EVP_PKEY_CTX_new(key_.get(), nullptr));
    size_t outLen = k;
    Bytes message(k);
    if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
        EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) != 1 ||
        EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) != 1 ||
        EVP_PKEY_decrypt(ctx.get(), message.data(), &outLen, cipher.data() + offset, k) != 1) {
      return std::nullopt;
    }
    out.insert(out.end(), message.begin(), message.begin() + static_cast<std::ptrdiff_t>(outLen));
  }
  return out;
}

}  // namespace devserver
