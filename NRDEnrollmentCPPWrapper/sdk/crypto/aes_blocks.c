/* AES-128 in ECB mode with zero padding, over byte buffers and over hex texts. No IV and no
 * chaining: the service decrypts the same way, block by block. */
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/libcrypto_setup.h"
#include "sdk/string_helpers.h"

#define SR_AES_BLOCK 16
#define SR_AES_KEY_HEX_CHARS (2 * SR_AES_BLOCK)

/* Keys are 32 hex characters. Only the first 32 characters of a longer text are read, and a
 * shorter (or NULL) key leaves its missing bytes zero, so the key is always fully defined. */
static void srAesKeyDecode(const char* key_hex, unsigned char key[SR_AES_BLOCK]) {
  char prefix[SR_AES_KEY_HEX_CHARS + 1] = {0};
  if (key_hex != NULL) strncpy(prefix, key_hex, SR_AES_KEY_HEX_CHARS);
  memset(key, 0, SR_AES_BLOCK);
  srHexDecode(prefix, key);
}

/* ceil(length/16) * 16, or 0 for an empty, negative or too large length. */
static int32_t srAesPaddedLength(int32_t length) {
  if (length < 1 || length > INT32_MAX - (SR_AES_BLOCK - 1)) return 0;
  return (length + SR_AES_BLOCK - 1) / SR_AES_BLOCK * SR_AES_BLOCK;
}

/* Runs every block of in through AES-128-ECB. A short last block is copied into a zero-filled
 * buffer first, so nothing past the input is read. Returns 1, or 0 when the cipher could not
 * be set up (out is then zero-filled: never half-processed data). */
static int srAesEcbRun(const char* key_hex, const unsigned char* in, int32_t length,
                       unsigned char* out, int32_t padded, int encrypt) {
  unsigned char key[SR_AES_BLOCK];
  srAesKeyDecode(key_hex, key);
  EVP_CIPHER_CTX* cipher = srLibcryptoReady() ? EVP_CIPHER_CTX_new() : NULL;
  int32_t whole = length / SR_AES_BLOCK * SR_AES_BLOCK;
  int written = 0;
  int ok = cipher != NULL &&
           EVP_CipherInit_ex(cipher, EVP_aes_128_ecb(), NULL, key, NULL, encrypt) == 1 &&
           EVP_CIPHER_CTX_set_padding(cipher, 0) == 1 &&
           (whole == 0 || EVP_CipherUpdate(cipher, out, &written, in, whole) == 1);
  if (ok && whole < length) {
    unsigned char last[SR_AES_BLOCK] = {0};
    memcpy(last, in + whole, (size_t)(length - whole));
    ok = EVP_CipherUpdate(cipher, out + whole, &written, last, SR_AES_BLOCK) == 1;
    OPENSSL_cleanse(last, sizeof last);
  }
  EVP_CIPHER_CTX_free(cipher);
  OPENSSL_cleanse(key, sizeof key);
  if (!ok) memset(out, 0, (size_t)padded);
  return ok;
}

int32_t srAesEcbEncrypt(const char* key_hex, const unsigned char* in, int32_t length,
                        unsigned char* out) {
  int32_t padded = srAesPaddedLength(length);
  if (out == NULL || padded == 0) return padded;
  return srAesEcbRun(key_hex, in, length, out, padded, 1) ? padded : 0;
}

int32_t srAesEcbDecrypt(const char* key_hex, const unsigned char* in, int32_t length,
                        unsigned char* out) {
  int32_t padded = srAesPaddedLength(length);
  if (out == NULL || padded == 0) return padded;
  return srAesEcbRun(key_hex, in, length, out, padded, 0) ? padded : 0;
}

/* Decodes hex, runs the cipher over it and returns the result as hex cut to at most max_chars
 * characters; "" when there is nothing to process or the cipher failed. */
static char* srHexBlockRun(const char* hex, const char* key_hex, size_t max_chars, int encrypt) {
  int32_t length = 0;
  unsigned char* bytes = srHexDecodeNew(hex, &length);
  int32_t padded = srAesPaddedLength(length);
  unsigned char* processed = padded > 0 ? (unsigned char*)malloc((size_t)padded) : NULL;
  char* result = processed != NULL ? (char*)malloc(2 * (size_t)padded + 1) : NULL;
  int32_t done = 0;
  if (bytes != NULL && result != NULL)
    done = encrypt ? srAesEcbEncrypt(key_hex, bytes, length, processed)
                   : srAesEcbDecrypt(key_hex, bytes, length, processed);
  free(bytes);
  if (done == 0) {
    free(processed);
    free(result);
    return srStrDup("");
  }
  srHexEncode(processed, done, result);
  free(processed);
  if (max_chars < 2 * (size_t)done) result[max_chars] = '\0';
  return result;
}

char* srHexBlockEncrypt(const char* hex, const char* key_hex) {
  size_t length = hex != NULL ? strlen(hex) : 0;
  if (length == 0 || length % SR_AES_KEY_HEX_CHARS != 0) return srStrDup("");
  return srHexBlockRun(hex, key_hex, length, 1);
}

/* The input may be any length: a trailing partial block (an odd hex digit included) is
 * decrypted as if zero-filled, the same padding the encryption side uses. */
char* srHexBlockDecrypt(const char* hex, const char* key_hex, int32_t bits) {
  if (hex == NULL || hex[0] == '\0') return srStrDup("");
  return srHexBlockRun(hex, key_hex, bits > 0 ? (size_t)(bits / 4) : 0, 0);
}

char* srKeyDecrypt128(const char* hex, const char* key_hex) {
  return srHexBlockDecrypt(hex, key_hex, 128);
}
