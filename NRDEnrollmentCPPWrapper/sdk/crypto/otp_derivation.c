/* The OTP value: SHA-256 of k1, the service's challenge and the service secret, reduced to 38
 * bits and printed in the format the service asked for. The service computes the same value. */
#include "sdk/crypto/otp_derivation.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/SRSdk.h"
#include "sdk/crypto/encodings.h"
#include "sdk/crypto/keyed.h"
#include "sdk/crypto/sha256_stream.h"
#include "sdk/string_helpers.h"

static uint64_t srBigEndian32(const unsigned char* b) {
  return (uint64_t)b[0] << 24 | (uint64_t)b[1] << 16 | (uint64_t)b[2] << 8 | b[3];
}

/* Bits 37..10 are the low 28 bits of digest bytes 0..3, bits 9..0 the low 10 bits of bytes
 * 4..7; the rest of the digest is unused. UINT64_MAX, above any 38-bit value, when there is no
 * digest: a NULL text (an allocation failed while it was built) or a failed digest. */
uint64_t srSha256Int38(char* text) {
  unsigned char d[SR_SHA256_SIZE];
  int ok = text != NULL && srSha256Bytes(text, strlen(text), d);
  free(text);
  if (!ok) return UINT64_MAX;
  return (srBigEndian32(d) & 0x0FFFFFFFu) << 10 | (srBigEndian32(d + 4) & 0x3FFu);
}

/* k1 ":" defi ":" secret, built in one piece. */
static char* srOtpInput(const char* k1, int32_t defi, const char* secret) {
  int length = snprintf(NULL, 0, "%s:%d:%s", k1, (int)defi, secret);
  char* input = length >= 0 ? (char*)malloc((size_t)length + 1) : NULL;
  if (input != NULL) snprintf(input, (size_t)length + 1, "%s:%d:%s", k1, (int)defi, secret);
  return input;
}

int32_t srOtpDerive(const char* k1, int32_t defi, const char* format, const char* stored_secret,
                    const char* pin_key, char out[SR_OTP_LENGTH + 1]) {
  int base36 = format != NULL && strcmp(format, "8LC") == 0;
  if (!base36 && (format == NULL || strcmp(format, "8C") != 0)) return SR_ERR_NOK;

  /* With a positive challenge the stored secret is decrypted with the PIN key; otherwise the
   * stored text itself enters the input. */
  const char* stored = stored_secret != NULL ? stored_secret : "";
  char* secret = defi > 0 ? srKeyDecrypt128(stored, pin_key) : srStrDup(stored);
  uint64_t value =
      secret != NULL ? srSha256Int38(srOtpInput(k1 != NULL ? k1 : "", defi, secret)) : UINT64_MAX;
  free(secret);
  if (value == UINT64_MAX) return SR_ERR_NOK;

  if (base36)
    srBase36Format(out, value, SR_OTP_LENGTH);
  else
    srDecimalFormat(out, (int64_t)(value & 0x7FFFFFu), SR_OTP_LENGTH);
  return SR_OK;
}
