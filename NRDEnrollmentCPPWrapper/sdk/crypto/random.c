#include "sdk/crypto/random.h"

#include <limits.h>
#include <openssl/rand.h>
#include <stdlib.h>
#include <string.h>

#include "sdk/crypto/encodings.h"
#include "sdk/crypto/libcrypto_setup.h"

/* The installed test source, or NULL for the operating system's generator. Set only by tests,
 * before the draws they check; not locked. */
static SRRandomSourceFn g_source = NULL;
static void* g_source_user = NULL;

void srRandomSourceSet(SRRandomSourceFn source, void* user) {
  g_source = source;
  g_source_user = source != NULL ? user : NULL;
}

static unsigned long g_failures = 0;

/* Random bytes protect the PIN key and the device's identity: a generator that cannot deliver
 * never lets predictable bytes out, and never stops the host either. The caller's step fails
 * with a result code instead. */
int srRandomBytes(unsigned char* out, size_t n) {
  int ok = 1;
  if (g_source != NULL) {
    ok = g_source(out, n, g_source_user);
  } else {
    ok = srLibcryptoReady();
    for (size_t done = 0; ok && done < n;) {
      int chunk = n - done > INT_MAX ? INT_MAX : (int)(n - done);
      ok = RAND_bytes(out + done, chunk) == 1;
      done += (size_t)chunk;
    }
  }
  if (!ok) {
    memset(out, 0, n);
    g_failures++;
  }
  return ok;
}

unsigned long srRandomFailures(void) {
  return g_failures;
}

char* srRandomHex32(void) {
  unsigned char bytes[16];
  if (!srRandomBytes(bytes, sizeof bytes)) return (char*)calloc(1, 1);
  char* hex = (char*)malloc(2 * sizeof bytes + 1);
  if (hex != NULL) srHexEncode(bytes, (int32_t)sizeof bytes, hex);
  return hex;
}
