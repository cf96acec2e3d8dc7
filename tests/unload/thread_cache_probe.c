/* Uses the crypto code's per-thread caches on the calling thread and on a thread that ends. */
#include <pthread.h>
#include <string.h>

#include "sdk/crypto/keyed.h"
#include "sdk/crypto/rsa_oaep.h"
#include "sdk/crypto/sha256_stream.h"

static void* srProbeUse(void* ok) {
  char modulus[257] = {0};
  unsigned char digest[SR_SHA256_SIZE];
  memset(modulus, 'F', 256);
  SRRsaKey own;
  SRRsaKey* key = srRsaKeyFor(modulus, SR_RSA_EXPONENT_HEX, &own);
  *(int*)ok = srSha256Bytes("abc", 3, digest) && key != NULL && key != &own;
  srRsaKeyDone(key, &own);
  return NULL;
}

__attribute__((visibility("default"))) int srProbeUseThreadCaches(void) {
  int here = 0, there = 0;
  pthread_t thread;
  srProbeUse(&here);
  if (pthread_create(&thread, NULL, srProbeUse, &there) != 0) return 0;
  pthread_join(thread, NULL);
  return here && there;
}
