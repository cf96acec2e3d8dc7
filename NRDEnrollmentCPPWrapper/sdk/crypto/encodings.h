/* Text encodings: query values, hexadecimal, and the two fixed-width OTP formatters. */
#ifndef NRD_SDK_CRYPTO_ENCODINGS_H
#define NRD_SDK_CRYPTO_ENCODINGS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

char* srUrlEncode(const char* text); /* letters/digits kept, space "+", else "%xx" lower-case */
void srHexEncode(const unsigned char* bytes, int32_t n, char* out); /* out: 2n+1 bytes */
int32_t srHexDecode(const char* hex, unsigned char* out); /* ceil(len/2); out NULL = count only */
unsigned char* srHexDecodeNew(const char* hex, int32_t* count); /* bytes + NUL; count w/o NUL */
void srBase36Format(char* out, uint64_t value, int32_t width);  /* least significant first */
void srDecimalFormat(char* out, int64_t value, int32_t width);  /* zero-padded, right-aligned */

#ifdef __cplusplus
}
#endif

#endif
