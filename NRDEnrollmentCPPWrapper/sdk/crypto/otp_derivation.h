/* The OTP value: a 38-bit number from SHA-256, printed as 8 base-36 or decimal characters. */
#ifndef NRD_SDK_CRYPTO_OTP_DERIVATION_H
#define NRD_SDK_CRYPTO_OTP_DERIVATION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SR_OTP_LENGTH 8

/* Consumes text. UINT64_MAX (no 38-bit value) when text is NULL or the digest failed. */
uint64_t srSha256Int38(char* text);
/* Derives the OTP from k1, defi, the stored service secret (32 hex or "") and the PIN key that
 * decrypts it when defi > 0. Writes 8 characters and a NUL to out; returns 0, or 999 for a
 * format other than "8LC" and "8C" or a failed allocation (out untouched). */
int32_t srOtpDerive(const char* k1, int32_t defi, const char* format, const char* stored_secret,
                    const char* pin_key, char out[SR_OTP_LENGTH + 1]);

#ifdef __cplusplus
}
#endif

#endif
