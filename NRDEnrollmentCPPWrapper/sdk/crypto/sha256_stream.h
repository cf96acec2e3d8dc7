/* Streaming SHA-256 over OpenSSL's EVP interface, for the constructions of this folder (MGF1,
 * OAEP). A state is opened once and then runs any number of rounds of begin, absorb any number
 * of pieces, finish; a failed step is remembered and reported by srSha256Finish. Keeping the
 * state across rounds spares OpenSSL's algorithm lookup, which costs more than hashing a block. */
#ifndef NRD_SDK_CRYPTO_SHA256_STREAM_H
#define NRD_SDK_CRYPTO_SHA256_STREAM_H

#include <openssl/types.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SR_SHA256_SIZE 32

typedef struct SRSha256 {
  EVP_MD* type;
  EVP_MD_CTX* md;
  int ok;
} SRSha256;

/* Returns 1, or 0 when OpenSSL could not provide the state; close it in either case. */
int srSha256Open(SRSha256* h);
void srSha256Close(SRSha256* h);
void srSha256Begin(SRSha256* h);
void srSha256Absorb(SRSha256* h, const void* data, size_t n);
/* Writes the digest of this round; returns 1, or 0 when any step of the round failed. */
int srSha256Finish(SRSha256* h, unsigned char digest[SR_SHA256_SIZE]);
/* One-shot digest of n bytes; returns 1, or 0 on failure. */
int srSha256Bytes(const void* data, size_t n, unsigned char digest[SR_SHA256_SIZE]);

#ifdef __cplusplus
}
#endif

#endif
