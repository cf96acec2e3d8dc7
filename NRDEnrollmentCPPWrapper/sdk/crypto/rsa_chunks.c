/* RSA over data of any length: cut into blocks of k - 66 message bytes when encrypting and of
 * k ciphertext bytes when recovering, and the hex-text entry points the protocols use. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/rsa_oaep.h"
#include "sdk/string_helpers.h"

/* Runs the blocks; returns the bytes written, or 0 when a block fails. Recovery
 * refuses a trailing partial block: it cannot be a ciphertext, and reading it whole would read
 * past the input. */
static int32_t srRsaChunksRun(SRRsaKey* key, const unsigned char* in, int32_t length,
                              unsigned char* out, int32_t encrypt) {
  const int32_t in_chunk = encrypt ? key->k - SR_RSA_OAEP_OVERHEAD : key->k;
  int32_t written = 0;
  if (!encrypt && length % in_chunk != 0) return 0;
  for (int32_t offset = 0; offset < length; offset += in_chunk) {
    int32_t piece = length - offset < in_chunk ? length - offset : in_chunk;
    int32_t produced =
        encrypt ? (srRsaBlockEncrypt(key, in + offset, piece, out + written) ? key->k : -1)
                : srRsaBlockRecover(key, in + offset, out + written);
    if (produced < 0) return 0;
    written += produced;
  }
  return written;
}

/* The output size for length input bytes: whole k-byte blocks when encrypting, k - 66 bytes
 * per block when recovering. 0 for a size beyond int32, which cannot be reported: such data is
 * refused as a whole. */
static int32_t srRsaOutputSize(const SRRsaKey* key, int32_t length, int32_t encrypt) {
  const int32_t in_chunk = encrypt ? key->k - SR_RSA_OAEP_OVERHEAD : key->k;
  const int32_t out_chunk = encrypt ? key->k : key->k - SR_RSA_OAEP_OVERHEAD;
  const int64_t size = ((int64_t)length + in_chunk - 1) / in_chunk * out_chunk;
  return size <= INT32_MAX ? (int32_t)size : 0;
}

int32_t srRsaProcess(const char* modulus_hex, const char* exponent_hex, const unsigned char* in,
                     int32_t length, unsigned char* out, int32_t encrypt) {
  if (length <= 0) return 0;
  SRRsaKey own;
  SRRsaKey* key = srRsaKeyFor(modulus_hex, exponent_hex, &own);
  if (key == NULL) return 0;
  int32_t result = srRsaOutputSize(key, length, encrypt);
  if (out != NULL && result > 0) result = srRsaChunksRun(key, in, length, out, encrypt);
  srRsaKeyDone(key, &own);
  return result;
}

int32_t srRsaEncrypt(const char* modulus_hex, const char* exponent_hex, const unsigned char* in,
                     int32_t length, unsigned char* out) {
  return srRsaProcess(modulus_hex, exponent_hex, in, length, out, 1);
}

int32_t srRsaRecover(const char* modulus_hex, const char* exponent_hex, const unsigned char* in,
                     int32_t length, unsigned char* out) {
  return srRsaProcess(modulus_hex, exponent_hex, in, length, out, 0);
}

/* Encrypts or recovers data with exponent 17 and returns the result as hex; "" for empty data
 * and for any failure. The key is read once for sizing and running. */
static char* srRsaHexRun(const unsigned char* data, size_t length, const char* modulus_hex,
                         int32_t encrypt) {
  char* hex = NULL;
  if (data == NULL || length == 0 || length > INT32_MAX) return srStrDup("");
  SRRsaKey own;
  SRRsaKey* key = srRsaKeyFor(modulus_hex, SR_RSA_EXPONENT_HEX, &own);
  if (key != NULL) {
    int32_t size = srRsaOutputSize(key, (int32_t)length, encrypt);
    unsigned char* out = size > 0 ? (unsigned char*)malloc((size_t)size) : NULL;
    hex = out != NULL ? (char*)malloc(2 * (size_t)size + 1) : NULL;
    int32_t done = hex != NULL ? srRsaChunksRun(key, data, (int32_t)length, out, encrypt) : 0;
    if (done > 0) {
      srHexEncode(out, done, hex);
    } else {
      free(hex);
      hex = NULL;
    }
    free(out);
    srRsaKeyDone(key, &own);
  }
  return hex != NULL ? hex : srStrDup("");
}

static char* srRsaHexInputRun(const char* hex, const char* modulus_hex, int32_t encrypt) {
  if (hex == NULL || hex[0] == '\0') return srStrDup("");
  int32_t length = 0;
  unsigned char* bytes = srHexDecodeNew(hex, &length);
  char* result = srRsaHexRun(bytes, (size_t)length, modulus_hex, encrypt);
  free(bytes);
  return result;
}

char* srRsaEncryptText(const char* text, const char* modulus_hex) {
  return srRsaHexRun((const unsigned char*)text, text != NULL ? strlen(text) : 0, modulus_hex, 1);
}

char* srRsaEncryptHex(const char* hex, const char* modulus_hex) {
  return srRsaHexInputRun(hex, modulus_hex, 1);
}

char* srRsaRecoverHex(const char* hex, const char* modulus_hex) {
  return srRsaHexInputRun(hex, modulus_hex, 0);
}
