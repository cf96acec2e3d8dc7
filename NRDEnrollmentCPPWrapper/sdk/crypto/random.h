/* Random values. Every random byte the SDK draws goes through srRandomBytes, which reads the
 * operating system's cryptographic generator unless a test installed its own source. */
#ifndef NRD_SDK_CRYPTO_RANDOM_H
#define NRD_SDK_CRYPTO_RANDOM_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*SRRandomSourceFn)(unsigned char* out, size_t n, void* user);

void srRandomBytes(unsigned char* out, size_t n);
char* srRandomHex32(void); /* new 32-character lower-case hex text: 16 random bytes */
/* Test seam: NULL restores the operating system's generator. */
void srRandomSourceSet(SRRandomSourceFn source, void* user);

#ifdef __cplusplus
}
#endif

#endif
