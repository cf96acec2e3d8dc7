/* One RSA block with OAEP (SHA-256, MGF1-SHA-256, empty label) in both directions, over a key
 * that each thread keeps from one call to the next while the modulus stays the same. */
#ifndef NRD_SDK_CRYPTO_RSA_OAEP_H
#define NRD_SDK_CRYPTO_RSA_OAEP_H

#include <openssl/types.h>
#include <stdint.h>

#include "sdk/crypto/sha256_stream.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 66 = two SHA-256 lengths (seed, label hash) + the leading 0x00 + the 0x01 separator. */
#define SR_RSA_OAEP_OVERHEAD 66
/* A modulus must leave room for at least one message byte per block. */
#define SR_RSA_MIN_MODULUS_BYTES (SR_RSA_OAEP_OVERHEAD + 1)
/* The service's keys are 1024 bits; longer ones are accepted up to 4096 bits, which bounds the
 * work and the stack buffers of one block. */
#define SR_RSA_MAX_MODULUS_BYTES 512

typedef struct SRRsaKey {
  int32_t k; /* modulus length in bytes */
  BIGNUM* n;
  BIGNUM* e;
  BIGNUM* x; /* scratch: the number going into the exponentiation, cleared after it */
  BIGNUM* y; /* scratch: the number coming out, cleared after it */
  BN_CTX* bn;
  BN_MONT_CTX* mont; /* n in Montgomery form; NULL for an even n, which has none */
  SRSha256 sha;      /* for MGF1 */
} SRRsaKey;

/* The key for a modulus and an exponent given as hex of big-endian bytes, owned by the calling
 * thread and valid until its next call; where the thread can keep none (no per-thread slot
 * could be had), `own` opened for this call alone. Either way the caller ends its use with
 * srRsaKeyDone. NULL for a missing, empty, too short (< 67 bytes) or too long (> 512 bytes)
 * modulus, a missing or empty exponent, an exponent longer than the modulus, or a failed
 * allocation. */
SRRsaKey* srRsaKeyFor(const char* modulus_hex, const char* exponent_hex, SRRsaKey* own);
/* Closes `key` when it is `own`, the key of one call; a kept key stays. */
void srRsaKeyDone(SRRsaKey* key, SRRsaKey* own);

/* Encrypts a message of at most k - 66 bytes into exactly k bytes; returns 1, or 0. */
int srRsaBlockEncrypt(SRRsaKey* key, const unsigned char* message, int32_t length,
                      unsigned char* out);
/* Recovers the message of exactly k input bytes into out (room for k - 66 bytes); returns its
 * length, or -1 when the block is not a valid encoding. */
int32_t srRsaBlockRecover(SRRsaKey* key, const unsigned char* in, unsigned char* out);

#ifdef __cplusplus
}
#endif

#endif
