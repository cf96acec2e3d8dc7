/* SHA-256 of texts, and the streaming helper the other constructions build on. */
#include <openssl/evp.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/sha256_stream.h"
#include "sdk/crypto/thread_local.h"
#include "sdk/string_helpers.h"

int srSha256Open(SRSha256* h) {
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
static SR_THREAD_LOCAL SRSha256 tl_sha;
static SR_THREAD_LOCAL int tl_sha_open;

int srSha256Bytes(const void* data, size_t n, unsigned char digest[SR_SHA256_SIZE]) {
  if (!tl_sha_open) {
    tl_sha_open = srSha256Open(&tl_sha);
    if (!tl_sha_open) {
      srSha256Close(&tl_sha);
      return EVP_Digest(data, n, digest, NULL, EVP_sha256(), NULL) == 1;
    }
  }
  srSha256Begin(&tl_sha);
  srSha256Absorb(&tl_sha, data, n);
  return srSha256Finish(&tl_sha, digest);
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
