/* What the crypto code keeps per thread between calls (a digest state, the last RSA key). It
 * is released when its thread ends and, for the threads still running, when the library
 * unloads (at process exit for a static link). */
#ifndef NRD_SDK_CRYPTO_THREAD_CACHE_H
#define NRD_SDK_CRYPTO_THREAD_CACHE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum { SR_CACHE_DIGEST, SR_CACHE_RSA_KEY, SR_CACHE_COUNT } SRThreadCacheSlot;

/* Frees what a cache holds; the cache's own memory is freed by the caller. */
typedef void (*SRThreadCacheRelease)(void* cache);

/* The calling thread's cache of `slot`, `size` zeroed bytes on first use; NULL when none can
 * be had (no memory, or the library is unloading): callers then work without it. */
void* srThreadCache(SRThreadCacheSlot slot, size_t size, SRThreadCacheRelease release);

#ifdef __cplusplus
}
#endif

#endif
