/* The one place that decides how libcrypto starts. Every crypto call that may be libcrypto's
 * first in the process asks srLibcryptoReady beforehand. */
#ifndef NRD_SDK_CRYPTO_LIBCRYPTO_SETUP_H
#define NRD_SDK_CRYPTO_LIBCRYPTO_SETUP_H

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when libcrypto may be used; 0 when it could not be started (the caller's operation fails).
 * On Windows the first call starts libcrypto without reading any configuration file: the
 * library runs inside the host's process, and a configuration found on a path an ordinary
 * user can create (or named by OPENSSL_CONF) could load any DLL into it as a provider. What
 * the SDK asks of libcrypto (SHA-256, AES-128, RSA arithmetic, random bytes) needs none.
 * Elsewhere libcrypto is the system's, and so is its root-owned configuration: it starts as
 * the system configured it. Thread-safe; cheap after the first call. */
int srLibcryptoReady(void);

#ifdef __cplusplus
}
#endif

#endif
