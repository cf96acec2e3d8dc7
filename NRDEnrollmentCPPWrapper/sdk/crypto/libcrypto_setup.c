#include "sdk/crypto/libcrypto_setup.h"

#ifdef _WIN32
#include <openssl/crypto.h>

/* Set once libcrypto runs without configuration. Two threads that race here both call
 * OPENSSL_init_crypto, which runs its work once and is itself thread-safe. */
static volatile int g_started = 0;

int srLibcryptoReady(void) {
  if (!g_started) g_started = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, NULL) == 1;
  return g_started;
}
#else
int srLibcryptoReady(void) {
  return 1;
}
#endif
