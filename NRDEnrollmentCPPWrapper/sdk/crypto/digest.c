/* SHA-256 of texts, and the streaming helper the other constructions build on. */
#include <openssl/evp.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/libcrypto_setup.h"
#include "sdk/crypto/sha256_stream.h"
#include "sdk/crypto/thread_cache.h"
#include "sdk/string_helpers.h"

int srSha256Open(SRSha256* h) {
  if (!srLibcryptoReady()) {
    h->type = NULL;
    h->md = NULL;
    h->ok = 0;
    return 0;
  }
  h->type = EVP_MD_fetch(NULL, "SHA256", NULL);
  h->md = EVP_MD_CTX_new();
  h->ok = h->type != NULL && h->md != NULL;
  return h->ok;
}

void srSha256Close(SRSha256* h) {
  EVP_MD_CTX_free(h->md);
  EVP_MD_free(h->type);
  h->md = NULL;
  h->type = NULL;
}

void srSha256Begin(SRSha256* h) {
  h->ok = h->type != NULL && h->md != NULL && EVP_DigestInit_ex(h->md, h->type, NULL) == 1;
}

void srSha256Absorb(SRSha256* h, const void* data, size_t n) {
  if (h->ok && n > 0) h->ok = EVP_DigestUpdate(h->md, data, n) == 1;
}

int srSha256Finish(SRSha256* h, unsigned char digest[SR_SHA256_SIZE]) {
  if (h->ok) h->ok = EVP_DigestFinal_ex(h->md, digest, NULL) == 1;
  return h->ok;
}

/* Each thread keeps one state for one-shot digests: EVP_Digest with EVP_sha256() looks the
 * algorithm up again at every call, which costs more than hashing a short text. */
typedef struct {
  SRSha256 sha;
  int open;
} SRDigestCache;

static void srDigestCacheRelease(void* cache) {
  srSha256Close(&((SRDigestCache*)cache)->sha);
}

int srSha256Bytes(const void* data, size_t n, unsigned char digest[SR_SHA256_SIZE]) {
  SRDigestCache* cache = srThreadCache(SR_CACHE_DIGEST, sizeof *cache, srDigestCacheRelease);
  if (cache != NULL && !cache->open) {
    cache->open = srSha256Open(&cache->sha);
    if (!cache->open) srSha256Close(&cache->sha);
  }
  if (cache == NULL || !cache->open)
    return srLibcryptoReady() && EVP_Digest(data, n, digest, NULL, EVP_sha256(), NULL) == 1;
  srSha256Begin(&cache->sha);
  srSha256Absorb(&cache->sha, data, n);
  return srSha256Finish(&cache->sha, digest);
}

/* The first hex_chars characters of the text's digest in hex. A NULL text (an allocation that
 * failed while it was built) or a failed digest gives "". */
static char* srSha256HexPrefix(char* text, size_t hex_chars) {
  unsigned char digest[SR_SHA256_SIZE];
  int ok = text != NULL && srSha256Bytes(text, strlen(text), digest);
  free(text);
  if (!ok) return srStrDup("");
  char* hex = (char*)malloc(2 * SR_SHA256_SIZE + 1);
  if (hex == NULL) return srStrDup("");
  srHexEncode(digest, SR_SHA256_SIZE, hex);
  hex[hex_chars] = '\0';
  return hex;
}

char* srSha256Hex(char* text) {
  return srSha256HexPrefix(text, 2 * SR_SHA256_SIZE);
}

char* srSha256Hex32(char* text) {
  return srSha256HexPrefix(text, SR_SHA256_SIZE);
}
