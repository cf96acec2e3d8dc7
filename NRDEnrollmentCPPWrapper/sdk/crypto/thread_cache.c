/* Per-thread caches found through a thread-exit slot of the system (a pthread key, a Windows
 * fiber-local slot): the system calls back when a thread ends, and a list of every thread's
 * caches lets the unload release those of threads that still run. */
#include "sdk/crypto/thread_cache.h"

#include <stdlib.h>

#ifdef _WIN32
#include <windows.h>
#define SR_CALLBACK NTAPI
#else
#include <pthread.h>
#define SR_CALLBACK
#endif

typedef struct SRThreadCaches {
  void* cache[SR_CACHE_COUNT];
  SRThreadCacheRelease release[SR_CACHE_COUNT];
  struct SRThreadCaches* prev;
  struct SRThreadCaches* next;
} SRThreadCaches;

static SRThreadCaches* g_threads; /* every thread's caches, under the lock */
static int g_ready;               /* the slot exists and the unload is registered */
static int g_closed;              /* unloaded: no new caches */

static void srThreadCachesFree(SRThreadCaches* caches) {
  for (int slot = 0; slot < SR_CACHE_COUNT; slot++) {
    if (caches->cache[slot] != NULL) caches->release[slot](caches->cache[slot]);
    free(caches->cache[slot]);
  }
  free(caches);
}

static void SR_CALLBACK srThreadEnded(void* caches);

#ifdef _WIN32
static SRWLOCK g_lock = SRWLOCK_INIT;
static INIT_ONCE g_once = INIT_ONCE_STATIC_INIT;
static DWORD g_slot = FLS_OUT_OF_INDEXES;
static void srLock(void) {
  AcquireSRWLockExclusive(&g_lock);
}
static void srUnlock(void) {
  ReleaseSRWLockExclusive(&g_lock);
}
static SRThreadCaches* srSlotGet(void) {
  return (SRThreadCaches*)FlsGetValue(g_slot);
}
static int srSlotSet(SRThreadCaches* caches) {
  return FlsSetValue(g_slot, caches) != 0;
}
static void srSlotDelete(void) {
  FlsFree(g_slot);
} /* may call srThreadEnded for each thread */
static BOOL CALLBACK srSlotCreate(INIT_ONCE* once, void* parameter, void** context);
static void srSlotCreateOnce(void) {
  InitOnceExecuteOnce(&g_once, srSlotCreate, NULL, NULL);
}
#else
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_once_t g_once = PTHREAD_ONCE_INIT;
static pthread_key_t g_slot;
static void srLock(void) {
  pthread_mutex_lock(&g_lock);
}
static void srUnlock(void) {
  pthread_mutex_unlock(&g_lock);
}
static SRThreadCaches* srSlotGet(void) {
  return (SRThreadCaches*)pthread_getspecific(g_slot);
}
static int srSlotSet(SRThreadCaches* caches) {
  return pthread_setspecific(g_slot, caches) == 0;
}
static void srSlotDelete(void) {
  pthread_key_delete(g_slot);
}
static void srSlotCreate(void);
static void srSlotCreateOnce(void) {
  pthread_once(&g_once, srSlotCreate);
}
#endif

/* The system calls this with the ending thread's caches (never NULL). Once the unload has
 * begun, every listed cache is the unload's to free: freeing it here too would free it twice. */
static void SR_CALLBACK srThreadEnded(void* caches) {
  SRThreadCaches* mine = (SRThreadCaches*)caches;
  if (mine == NULL) return;
  srLock();
  if (g_closed) {
    srUnlock();
    return;
  }
  if (mine->prev != NULL)
    mine->prev->next = mine->next;
  else
    g_threads = mine->next;
  if (mine->next != NULL) mine->next->prev = mine->prev;
  srUnlock();
  srThreadCachesFree(mine);
}

/* At unload: the slot goes first, so that no thread's end calls back into unloaded code, then
 * the caches of the threads that still run. */
static void srThreadCachesUnload(void) {
  srLock();
  g_closed = 1;
  srUnlock();
  srSlotDelete();
  srLock();
  SRThreadCaches* left = g_threads;
  g_threads = NULL;
  srUnlock();
  while (left != NULL) {
    SRThreadCaches* next = left->next;
    srThreadCachesFree(left);
    left = next;
  }
}

#ifdef _WIN32
static BOOL CALLBACK srSlotCreate(INIT_ONCE* once, void* parameter, void** context) {
  (void)once;
  (void)parameter;
  (void)context;
  g_slot = FlsAlloc(srThreadEnded);
  g_ready = g_slot != FLS_OUT_OF_INDEXES && atexit(srThreadCachesUnload) == 0;
  return TRUE;
}
#else
static void srSlotCreate(void) {
  /* atexit in a shared library runs when it unloads. */
  g_ready = pthread_key_create(&g_slot, srThreadEnded) == 0 && atexit(srThreadCachesUnload) == 0;
}
#endif

void* srThreadCache(SRThreadCacheSlot slot, size_t size, SRThreadCacheRelease release) {
  srSlotCreateOnce();
  if (!g_ready || g_closed) return NULL;
  SRThreadCaches* mine = srSlotGet();
  if (mine == NULL) {
    mine = (SRThreadCaches*)calloc(1, sizeof *mine);
    if (mine == NULL) return NULL;
    if (!srSlotSet(mine)) {
      free(mine);
      return NULL;
    }
    srLock();
    mine->next = g_threads;
    if (g_threads != NULL) g_threads->prev = mine;
    g_threads = mine;
    srUnlock();
  }
  if (mine->cache[slot] == NULL && (mine->cache[slot] = calloc(1, size)) != NULL) {
    mine->release[slot] = release;
  }
  return mine->cache[slot];
}
