/* OAEP encoding and decoding around the modular exponentiation of one block. The decoding is
 * lenient on purpose, the way the service's blocks have always been read: the top byte is not
 * examined and the padding before the 0x01 separator may hold any bytes. */
#include "sdk/crypto/rsa_oaep.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/libcrypto_setup.h"
#include "sdk/crypto/random.h"
#include "sdk/crypto/sha256_stream.h"
#include "sdk/crypto/thread_cache.h"
#include "sdk/string_helpers.h"

/* Reads hex of big-endian bytes into a number; NULL for a missing or empty text. */
static BIGNUM* srBignumFromHex(const char* hex) {
  if (hex == NULL || hex[0] == '\0') return NULL;
  int32_t length = 0;
  unsigned char* bytes = srHexDecodeNew(hex, &length);
  BIGNUM* number = bytes != NULL ? BN_bin2bn(bytes, length, NULL) : NULL;
  free(bytes);
  return number;
}

static int srRsaKeyOpen(SRRsaKey* key, const char* modulus_hex, const char* exponent_hex) {
  memset(key, 0, sizeof *key);
  if (!srLibcryptoReady()) return 0;
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
  if (key->x == NULL || key->y == NULL || key->bn == NULL || !srSha256Open(&key->sha)) return 0;
  if (BN_is_odd(key->n)) {
    key->mont = BN_MONT_CTX_new();
    if (key->mont == NULL || BN_MONT_CTX_set(key->mont, key->n, key->bn) != 1) return 0;
  }
  return 1;
}

static void srRsaKeyClose(SRRsaKey* key) {
  BN_free(key->n);
  BN_free(key->e);
  BN_clear_free(key->x);
  BN_clear_free(key->y);
  BN_CTX_free(key->bn);
  BN_MONT_CTX_free(key->mont);
  srSha256Close(&key->sha);
  memset(key, 0, sizeof *key);
}

/* The key this thread used last, with the texts it was read from. The protocols recover and
 * encrypt several blocks with one modulus in a row; reading it, putting it in Montgomery form
 * and fetching SHA-256 cost more than a block, so they are done once per key, not per call.
 * The numbers are public; the scratch numbers are cleared after every block. */
typedef struct {
  SRRsaKey key;
  char* modulus_hex; /* NULL while no key is kept */
  char* exponent_hex;
} SRRsaKeyCache;

static void srRsaKeyCacheRelease(void* cache) {
  SRRsaKeyCache* kept = (SRRsaKeyCache*)cache;
  if (kept->modulus_hex != NULL) srRsaKeyClose(&kept->key);
  free(kept->modulus_hex);
  free(kept->exponent_hex);
  kept->modulus_hex = kept->exponent_hex = NULL;
}

static int srSameText(const char* a, const char* b) {
  return a != NULL && b != NULL && strcmp(a, b) == 0;
}

SRRsaKey* srRsaKeyFor(const char* modulus_hex, const char* exponent_hex, SRRsaKey* own) {
  SRRsaKeyCache* kept = srThreadCache(SR_CACHE_RSA_KEY, sizeof *kept, srRsaKeyCacheRelease);
  if (kept == NULL) {
    /* No slot: the key is read for this call, as the digest code does. */
    memset(own, 0, sizeof *own);
    if (srRsaKeyOpen(own, modulus_hex, exponent_hex)) return own;
    srRsaKeyClose(own);
    return NULL;
  }
  if (srSameText(kept->modulus_hex, modulus_hex) && srSameText(kept->exponent_hex, exponent_hex))
    return &kept->key;
  srRsaKeyCacheRelease(kept);
  if (!srRsaKeyOpen(&kept->key, modulus_hex, exponent_hex)) {
    srRsaKeyClose(&kept->key);
    return NULL;
  }
  kept->modulus_hex = srStrDup(modulus_hex);
  kept->exponent_hex = srStrDup(exponent_hex);
  if (kept->modulus_hex == NULL || kept->exponent_hex == NULL) {
    srRsaKeyClose(&kept->key);
    srRsaKeyCacheRelease(kept);
    return NULL;
  }
  return &kept->key;
}

void srRsaKeyDone(SRRsaKey* key, SRRsaKey* own) {
  if (key != NULL && key == own) srRsaKeyClose(own);
}

/* y = x^e mod n with x read from length big-endian bytes; written as exactly k bytes. The
 * Montgomery form is set up once per key; an even modulus has none and takes plain modular
 * multiplications, with the same result. */
static int srRsaModExp(SRRsaKey* key, const unsigned char* in, int32_t length, unsigned char* out) {
  int ok = BN_bin2bn(in, length, key->x) != NULL &&
           (key->mont != NULL ? BN_mod_exp_mont(key->y, key->x, key->e, key->n, key->bn, key->mont)
                              : BN_mod_exp_simple(key->y, key->x, key->e, key->n, key->bn)) == 1 &&
           BN_bn2binpad(key->y, out, key->k) == key->k;
  BN_clear(key->x);
  BN_clear(key->y);
  return ok;
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
