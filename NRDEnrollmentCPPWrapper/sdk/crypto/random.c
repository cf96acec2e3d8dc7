#include "sdk/crypto/random.h"

#include <limits.h>
#include <openssl/rand.h>
#include <stdio.h>
#include <stdlib.h>

#include "sdk/crypto/encodings.h"

/* The installed test source, or NULL for the operating system's generator. Set only by tests,
 * before the draws they check; not locked. */
static SRRandomSourceFn g_source = NULL;
static void* g_source_user = NULL;

void srRandomSourceSet(SRRandomSourceFn source, void* user) {
  g_source = source;
  g_source_user = source != NULL ? user : NULL;
}

/* Random bytes protect the PIN key and the device's identity. Callers cannot report a failure,
 * and going on with predictable bytes would leak those secrets, so a generator that cannot
 * deliver stops the process. */
void srRandomBytes(unsigned char* out, size_t n) {
  if (g_source != NULL) {
    g_source(out, n, g_source_user);
    return;
  }
  while (n > 0) {
    int chunk = n > INT_MAX ? INT_MAX : (int)n;
    if (RAND_bytes(out, chunk) != 1) {
      fputs("the system's random generator failed\n", stderr);
      abort();
    }
    out += chunk;
    n -= (size_t)chunk;
  }
}

char* srRandomHex32(void) {
  unsigned char bytes[16];
  srRandomBytes(bytes, sizeof bytes);
  char* hex = (char*)malloc(2 * sizeof bytes + 1);
  if (hex != NULL) srHexEncode(bytes, (int32_t)sizeof bytes, hex);
  return hex;
}
