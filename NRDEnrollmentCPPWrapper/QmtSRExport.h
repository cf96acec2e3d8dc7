/// \file QmtSRExport.h
/// \brief Export macros of the shared library: only SRCppWrap::QmtSR and its C interface
/// (the QmtSR_ functions of QmtSR_c.h) are visible to the host.
///
/// A host defines nothing: the class is then imported from the DLL (Windows) or the shared
/// library. A host that links the library's objects statically defines NRDENROLLMENT_STATIC.
#ifndef NRD_QMTSR_EXPORT_H
#define NRD_QMTSR_EXPORT_H

#if defined(_WIN32)
#if defined(NRDENROLLMENT_BUILDING)
#define QMTSR_API __declspec(dllexport)
#elif defined(NRDENROLLMENT_STATIC)
#define QMTSR_API
#else
/// Marks the exported class: dllexport while building the DLL, dllimport in the host, default
/// visibility on other systems.
#define QMTSR_API __declspec(dllimport)
#endif
#else
#define QMTSR_API __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
/// Lets GNU compilers check a printf-style format against its arguments (the library's own
/// log formatter); empty elsewhere.
#define QMTSR_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QMTSR_PRINTF_LIKE(fmt, args)
#endif

#endif
