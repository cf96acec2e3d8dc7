// Export macro of the shared library: only SRCppWrap::QmtSR and its C interface are visible to
// the host.
#ifndef NRD_QMTSR_EXPORT_H
#define NRD_QMTSR_EXPORT_H

#if defined(_WIN32)
#if defined(NRDENROLLMENT_BUILDING)
#define QMTSR_API __declspec(dllexport)
#elif defined(NRDENROLLMENT_STATIC)
#define QMTSR_API
#else
#define QMTSR_API __declspec(dllimport)
#endif
#else
#define QMTSR_API __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
#define QMTSR_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QMTSR_PRINTF_LIKE(fmt, args)
#endif

#endif
