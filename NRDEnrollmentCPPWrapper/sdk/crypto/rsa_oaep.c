/* OAEP encoding and decoding around the modular exponentiation of one block. The decoding is
 * lenient on purpose, the way the service's blocks have always been read: the top byte is not
 * examined and the padding before the 0x01 separator may hold any bytes. */
#include "sdk/crypto/rsa_oaep.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/random.h"
#include "sdk/crypto/sha256_stream.h"

/* Reads hex of big-endian bytes into a number; NULL for a missing or empty text. */
static BIGNUM* srBignumFromHex(const char* hex) {
  if (hex == NULL || hex[0] == '\0') return NULL;
  int32_t length = 0;
  unsigned char* bytes = srHexDecodeNew(hex, &length);
  BIGNUM* number = bytes != NULL ? BN_bin2bn(bytes, length, NULL) : NULL;
  free(bytes);
  return number;
}

int srRsaKeyOpen(SRRsaKey* key, const char* modulus_hex, const char* exponent_hex) {
  memset(key, 0, sizeof *key);
  key->n = srBignumFromHex(modulus_hex);
  key->e = srBignumFromHex(exponent_hex);
  if (key->n == NULL || key->e == NULL) return 0;
  key->k = BN_num_bytes(key->n);
  if (key->k < SR_RSA_MIN_MODULUS_BYTES || key->k > SR_RSA_MAX_MODULUS_BYTES ||
      BN_num_bytes(key->e) > key->k)
    return 0;
  key->x = BN_new();
  key->y = BN_new();
  key->bn = BN_CTX_new();
  return key->x != NULL && key->y != NULL && key->bn != NULL && srSha256Open(&key->sha);
}

void srRsaKeyClose(SRRsaKey* key) {
  BN_free(key->n);
  BN_free(key->e);
  BN_clear_free(key->x);
  BN_clear_free(key->y);
  BN_CTX_free(key->bn);
  srSha256Close(&key->sha);
  memset(key, 0, sizeof *key);
}

/* y = x^e mod n with x read from length big-endian bytes; written as exactly k bytes. With the
 * small public exponent a handful of plain modular multiplications beat setting up Montgomery
 * arithmetic for a modulus that is new at every call. */
static int srRsaModExp(SRRsaKey* key, const unsigned char* in, int32_t length, unsigned char* out) {
  return BN_bin2bn(in, length, key->x) != NULL &&
         BN_mod_exp_simple(key->y, key->x, key->e, key->n, key->bn) == 1 &&
         BN_bn2binpad(key->y, out, key->k) == key->k;
}

/* target ^= MGF1-SHA-256(seed, length): SHA-256 of seed || 4-byte big-endian counter, for
 * counter 0, 1, ..., the last piece cut. */
static int srMgf1Xor(SRSha256* h, const unsigned char* seed, size_t seed_length,
                     unsigned char* target, size_t length) {
  for (uint32_t counter = 0; length > 0; counter++) {
    unsigned char count[4] = {(unsigned char)(counter >> 24), (unsigned char)(counter >> 16),
                              (unsigned char)(counter >> 8), (unsigned char)counter};
    unsigned char mask[SR_SHA256_SIZE];
    srSha256Begin(h);
    srSha256Absorb(h, seed, seed_length);
    srSha256Absorb(h, count, sizeof count);
    if (!srSha256Finish(h, mask)) return 0;
    size_t piece = length < SR_SHA256_SIZE ? length : SR_SHA256_SIZE;
    for (size_t i = 0; i < piece; i++) target[i] ^= mask[i];
    target += piece;
    length -= piece;
  }
  return 1;
}

/* The label is always empty, so its hash is SHA-256 of the empty string. */
static const unsigned char kEmptyLabelHash[SR_SHA256_SIZE] = {
    0xe3, 0xb0, 0xc4, 0x42, 0x98, 0xfc, 0x1c, 0x14, 0x9a, 0xfb, 0xf4, 0xc8, 0x99, 0x6f, 0xb9, 0x24,
    0x27, 0xae, 0x41, 0xe4, 0x64, 0x9b, 0x93, 0x4c, 0xa4, 0x95, 0x99, 0x1b, 0x78, 0x52, 0xb8, 0x55};

/* Block layout without the leading 0x00 (k - 1 bytes): seed (32) || DB, where
 * DB = lHash (32) || PS (zeros) || 0x01 || message. */
int srRsaBlockEncrypt(SRRsaKey* key, const unsigned char* message, int32_t length,
                      unsigned char* out) {
  unsigned char block[SR_RSA_MAX_MODULUS_BYTES] = {0};
  const int32_t block_length = key->k - 1;
  const int32_t db_length = block_length - SR_SHA256_SIZE;
  unsigned char* seed = block;
  unsigned char* db = block + SR_SHA256_SIZE;
  if (length < 0 || length > key->k - SR_RSA_OAEP_OVERHEAD) return 0;

  if (!srRandomBytes(seed, SR_SHA256_SIZE)) return 0;
  memcpy(db, kEmptyLabelHash, SR_SHA256_SIZE);
  db[db_length - length - 1] = 0x01;
  if (length > 0) memcpy(db + db_length - length, message, (size_t)length);
  int ok = srMgf1Xor(&key->sha, seed, SR_SHA256_SIZE, db, (size_t)db_length) &&
           srMgf1Xor(&key->sha, db, (size_t)db_length, seed, SR_SHA256_SIZE) &&
           srRsaModExp(key, block, block_length, out);
  OPENSSL_cleanse(block, sizeof block);
  return ok;
}

int32_t srRsaBlockRecover(SRRsaKey* key, const unsigned char* in, unsigned char* out) {
  unsigned char number[SR_RSA_MAX_MODULUS_BYTES];
  /* The top byte of the k-byte result, 0x00 in a proper encoding, is not examined. */
  unsigned char* seed = number + 1;
  unsigned char* db = seed + SR_SHA256_SIZE;
  const int32_t db_length = key->k - 1 - SR_SHA256_SIZE;
  int32_t result = -1;

  if (db_length > SR_SHA256_SIZE && srRsaModExp(key, in, key->k, number) &&
      srMgf1Xor(&key->sha, db, (size_t)db_length, seed, SR_SHA256_SIZE) &&
      srMgf1Xor(&key->sha, seed, SR_SHA256_SIZE, db, (size_t)db_length) &&
      memcmp(db, kEmptyLabelHash, SR_SHA256_SIZE) == 0) {
    /* Whatever stands between the label hash and the first 0x01 is skipped. */
    const unsigned char* separator =
        memchr(db + SR_SHA256_SIZE, 0x01, (size_t)(db_length - SR_SHA256_SIZE));
    if (separator != NULL) {
      result = (int32_t)(db + db_length - (separator + 1));
      if (result > 0) memcpy(out, separator + 1, (size_t)result);
    }
  }
  OPENSSL_cleanse(number, sizeof number);
  return result;
}
