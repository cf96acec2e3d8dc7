/* The storage class of values each thread keeps for itself between calls. */
#ifndef NRD_SDK_CRYPTO_THREAD_LOCAL_H
#define NRD_SDK_CRYPTO_THREAD_LOCAL_H

#if defined(_MSC_VER) && !defined(__clang__)
#define SR_THREAD_LOCAL __declspec(thread) /* the C compiler of MSVC predates _Thread_local */
#else
#define SR_THREAD_LOCAL _Thread_local
#endif

#endif
