// The service's cryptography, written directly against OpenSSL libcrypto: SHA-256 texts,
// AES-128-ECB over whole blocks, and the two RSA keys (public exponent 17) with their
// OAEP-SHA-256 operations.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hex.h"

struct evp_pkey_st;

namespace devserver {

Bytes sha256(std::string_view text);
std::string sha256Hex(std::string_view text);
// The first 16 digest bytes as 32 hex characters: the shape of every derived key.
std::string sha256Hex32(std::string_view text);

Bytes randomBytes(size_t count);
std::string randomHex32();

// AES-128 in ECB mode without padding; the data must be whole 16-byte blocks and the key
// exactly 16 bytes, otherwise nullopt.
std::optional<Bytes> aesEcbEncrypt(const Bytes& key, const Bytes& data);
std::optional<Bytes> aesEcbDecrypt(const Bytes& key, const Bytes& data);

// EME-OAEP encoding with SHA-256, MGF1-SHA-256 and the empty label, into a k-byte block
// (0x00 || masked seed || masked DB). The message must be at most k - 66 bytes.
std::optional<Bytes> oaepEncode(const Bytes& message, size_t k);

class RsaKey {
 public:
  static constexpr unsigned kPublicExponent = 17;

  // A new key of the given modulus size with public exponent 17; nullopt when OpenSSL fails.
  static std::optional<RsaKey> generate(int bits);
  // A private key from PEM text; nullopt when it does not parse, is not RSA or its exponent
  // is not 17.
  static std::optional<RsaKey> fromPem(const std::string& pem);

  std::string toPem() const;
  Bytes modulus() const;  // big-endian, no leading zero byte
  size_t size() const;    // k: the modulus length in bytes

  // The private-key transformation the client undoes with the public exponent: the data is
  // cut into (k - 66)-byte pieces, each OAEP-encoded and raised to the private exponent,
  // giving k bytes per piece. Empty data gives an empty result.
  std::optional<Bytes> privateTransform(const Bytes& data) const;

  // Standard RSA-OAEP-SHA-256 decryption of a run of k-byte blocks, the messages
  // concatenated. nullopt when the length is not whole blocks or any block fails.
  std::optional<Bytes> oaepDecrypt(const Bytes& cipher) const;

 private:
  struct Free {
    void operator()(evp_pkey_st* key) const;
  };
  explicit RsaKey(evp_pkey_st* key) : key_(key, Free()) {}
  std::shared_ptr<evp_pkey_st> key_;
};

}  // namespace devserver
