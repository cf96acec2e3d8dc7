/* Random values. Every random byte the SDK draws goes through srRandomBytes, which reads the
 * operating system's cryptographic generator unless a test installed its own source. */
#ifndef NRD_SDK_CRYPTO_RANDOM_H
#define NRD_SDK_CRYPTO_RANDOM_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Fills out with n bytes; returns 1, or 0 when it cannot deliver them. */
typedef int (*SRRandomSourceFn)(unsigned char* out, size_t n, void* user);

/* 1 when out holds n random bytes; 0 when the generator failed (out is then zeroed). The
 * failure is also counted, so a protocol step can tell after the fact that a value it built
 * rests on no random bytes. Never aborts. */
int srRandomBytes(unsigned char* out, size_t n);
/* New 32-character lower-case hex text standing for 16 random bytes; a new empty text when the
 * generator failed. */
char* srRandomHex32(void);
/* How many draws have failed in this process so far. */
unsigned long srRandomFailures(void);
/* Test seam: NULL restores the operating system's generator. */
void srRandomSourceSet(SRRandomSourceFn source, void* user);

#ifdef __cplusplus
}
#endif

#endif
