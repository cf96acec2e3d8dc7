/**
 * @file QmtSR_c.h
 * @brief The library's C interface: SRCppWrap::QmtSR behind an opaque handle, for a host built
 * with any compiler that can call C (MSVC included).
 *
 * One function per public member of the class, named `QmtSR_` + the member's name; each runs
 * that member of the library's own object. Only C types cross: texts are zero-terminated
 * narrow strings (a text ends at its first zero byte), integers keep the member's types, and a
 * `bool&` becomes an `int*`.
 *
 * Every function but QmtSR_Destroy() and QmtSR_FreeText() returns a #QmtSR_Status, and none
 * lets an exception out. The member's own result (an HTTP status, an SDK result code, 1000 for a
 * confirmed enrolment) comes back through an out-parameter, which is written only when the
 * status is #QMTSR_OK.
 *
 * Ownership:
 * - The host owns each object from QmtSR_Create() or QmtSR_Copy() until it passes it to
 *   QmtSR_Destroy(); no other function keeps or frees it.
 * - Texts passed in stay the host's: the library copies what it keeps before it returns.
 * - A text handed out (`char**`) is new memory of the library that the host owns from then on
 *   and must release with QmtSR_FreeText(), never with its own runtime's free() or delete: the
 *   host's C runtime may be another one than the library's.
 * - The SDK context of QmtSR_CreateSRObject() stays the library's; it is never released.
 *
 * One object is used by one thread at a time, and only one object per process runs a workflow
 * at a time (the SDK context and the proxy settings of the transport are shared by the
 * process).
 */
#ifndef NRD_QMTSR_C_H
#define NRD_QMTSR_C_H

#include "QmtSRExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/** @brief The library's object of class SRCppWrap::QmtSR, seen from C only through pointers. */
typedef struct QmtSR_Object QmtSR_Object;

/** @brief What every function of the C interface returns. */
enum QmtSR_Status {
  /** @brief The member ran; the out-parameters hold its results. */
  QMTSR_OK = 0,
  /** @brief A null object, text or out-parameter: nothing ran, nothing was written. */
  QMTSR_INVALID_ARGUMENT = 1,
  /** @brief Memory ran out (the member threw std::bad_alloc); out-parameters are unchanged. */
  QMTSR_OUT_OF_MEMORY = 2,
  /** @brief The member threw another exception; out-parameters are unchanged. */
  QMTSR_FAILED = 3
};

/* --- Objects and texts. */

/**
 * @brief Creates an object: empty texts, integers 0, as a newly constructed SRCppWrap::QmtSR.
 * @param[out] object Receives the new object, owned by the host until QmtSR_Destroy().
 * @return #QMTSR_OK, #QMTSR_INVALID_ARGUMENT or #QMTSR_OUT_OF_MEMORY.
 */
QMTSR_API int QmtSR_Create(QmtSR_Object** object);

/**
 * @brief Destroys an object made by QmtSR_Create() or QmtSR_Copy().
 * @param object The object, or NULL (nothing happens).
 */
QMTSR_API void QmtSR_Destroy(QmtSR_Object* object);

/**
 * @brief Creates a copy of an object's configuration (the class's copy constructor).
 * @param from The object copied; the host keeps it.
 * @param[out] object Receives the new object, owned by the host until QmtSR_Destroy().
 * @return #QMTSR_OK, #QMTSR_INVALID_ARGUMENT or #QMTSR_OUT_OF_MEMORY.
 */
QMTSR_API int QmtSR_Copy(const QmtSR_Object* from, QmtSR_Object** object);

/**
 * @brief Gives an object another one's configuration (the class's copy assignment).
 * @param object The object assigned to.
 * @param from The object copied; the host keeps it.
 * @return #QMTSR_OK, #QMTSR_INVALID_ARGUMENT or #QMTSR_OUT_OF_MEMORY.
 */
QMTSR_API int QmtSR_Assign(QmtSR_Object* object, const QmtSR_Object* from);

/**
 * @brief Releases a text that a function of this interface handed out.
 * @param text The text, or NULL (nothing happens).
 */
QMTSR_API void QmtSR_FreeText(char* text);

/* --- Initialisers: each logs its banners and lines and catches its own exceptions. */

/**
 * @brief Runs SRCppWrap::QmtSR::QmtSRInitialize.
 * @param object The object.
 * @param uniqueKey Unique key.
 * @param seedFilePath Configured seed file path.
 * @param enrollFilePath Enrolment-status file path.
 * @param softwareVersion Host software version.
 * @param serverUrl Web-service base URL.
 * @param macId mVault id.
 * @param enrollmentName Enrolment name.
 * @param timeout Web-service timeout.
 * @param otpServiceIndex OTP service index.
 * @param deviceSerial Device serial.
 * @param rrdiCode RRDI code.
 * @param enrollmentStatus Enrolment status (1 = enrolled, -1 = enrol from the stored seed).
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_QmtSRInitialize(QmtSR_Object* object, const char* uniqueKey,
                                    const char* seedFilePath, const char* enrollFilePath,
                                    const char* softwareVersion, const char* serverUrl,
                                    const char* macId, const char* enrollmentName, int timeout,
                                    int otpServiceIndex, const char* deviceSerial,
                                    const char* rrdiCode, int enrollmentStatus);

/**
 * @brief Runs SRCppWrap::QmtSR::InitializeEnrollmenturls.
 * @param object The object.
 * @param codeAndOtpUrl Code-and-OTP URL.
 * @param checkEnrollmentUrl Check-enrolment URL.
 * @param pdvUrl PDV URL.
 * @param rlxEnrollInitUrl RLX enrolment-initialisation URL.
 * @param rlxEnrollActivationUrl RLX enrolment-activation URL.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_InitializeEnrollmenturls(QmtSR_Object* object, const char* codeAndOtpUrl,
                                             const char* checkEnrollmentUrl, const char* pdvUrl,
                                             const char* rlxEnrollInitUrl,
                                             const char* rlxEnrollActivationUrl);

/**
 * @brief Runs SRCppWrap::QmtSR::InitQMTParameters.
 * @param object The object.
 * @param biosSerialNumber BIOS serial number.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_InitQMTParameters(QmtSR_Object* object, const char* biosSerialNumber);

/**
 * @brief Runs SRCppWrap::QmtSR::InitializeProxyParameters.
 * @param object The object.
 * @param proxyUser Proxy user.
 * @param proxyPassword Proxy password (never logged).
 * @param proxyAddress Proxy host; empty for none.
 * @param proxyPort Proxy port.
 * @param proxyOverride Proxy override.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_InitializeProxyParameters(QmtSR_Object* object, const char* proxyUser,
                                              const char* proxyPassword, const char* proxyAddress,
                                              long proxyPort, const char* proxyOverride);

/* --- Setters and getters: a setter copies the text; a getter hands out a new copy. */

/**
 * @brief Runs SRCppWrap::QmtSR::SetUniquekey.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetUniquekey(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetUniquekey.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetUniquekey(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetsentrelSeedFilePath.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetsentrelSeedFilePath(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetsentrelSeedFilePath.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetsentrelSeedFilePath(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetEnrollFilePath.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetEnrollFilePath(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetEnrollFilePath.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetEnrollFilePath(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetToolvex_Software_Version.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetToolvex_Software_Version(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetToolvex_Software_Version.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetToolvex_Software_Version(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Setsentrel_server_url.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Setsentrel_server_url(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Getsentrel_server_url.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Getsentrel_server_url(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Setsentrel_server_macid.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Setsentrel_server_macid(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Getsentrel_server_macid.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Getsentrel_server_macid(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetEnrollmentName.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetEnrollmentName(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetEnrollmentName.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetEnrollmentName(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Setsentrel_server_timeout.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Setsentrel_server_timeout(QmtSR_Object* object, int value);
/**
 * @brief Runs SRCppWrap::QmtSR::Getsentrel_server_timeout.
 * @param object The object.
 * @param[out] value Receives the value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Getsentrel_server_timeout(QmtSR_Object* object, int* value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetOTP_service_index.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetOTP_service_index(QmtSR_Object* object, int value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetOTP_service_index.
 * @param object The object.
 * @param[out] value Receives the value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetOTP_service_index(QmtSR_Object* object, int* value);

/**
 * @brief Runs SRCppWrap::QmtSR::Setdevice_serial.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Setdevice_serial(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Getdevice_serial.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Getdevice_serial(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetRRDICode.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetRRDICode(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetRRDICode.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetRRDICode(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetEnrollmentStatus.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetEnrollmentStatus(QmtSR_Object* object, int value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetEnrollmentStatus.
 * @param object The object.
 * @param[out] value Receives the value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetEnrollmentStatus(QmtSR_Object* object, int* value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetsentrelCodeandOTPurl.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetsentrelCodeandOTPurl(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetsentrelCodeandOTPurl.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetsentrelCodeandOTPurl(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetsentrelCheckEnrollmenturl.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetsentrelCheckEnrollmenturl(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetsentrelCheckEnrollmenturl.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetsentrelCheckEnrollmenturl(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetgetPDVurl.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetgetPDVurl(QmtSR_Object* object, const char* value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetRLXEnrollIniturl.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetRLXEnrollIniturl(QmtSR_Object* object, const char* value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetRLXEnrollActivationurl.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetRLXEnrollActivationurl(QmtSR_Object* object, const char* value);

/**
 * @brief Runs SRCppWrap::QmtSR::SetBiosSerialNumber.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetBiosSerialNumber(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::GetBiosSerialNumber.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetBiosSerialNumber(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Setproxy_user.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Setproxy_user(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Getproxy_user.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Getproxy_user(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Setproxy_password.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Setproxy_password(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Getproxy_password.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Getproxy_password(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Sethttp_address.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Sethttp_address(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Gethttp_address.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Gethttp_address(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::Sethttp_port.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Sethttp_port(QmtSR_Object* object, long value);
/**
 * @brief Runs SRCppWrap::QmtSR::Gethttp_port.
 * @param object The object.
 * @param[out] value Receives the value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Gethttp_port(QmtSR_Object* object, long* value);

/**
 * @brief Runs SRCppWrap::QmtSR::Sethttp_proxy_override.
 * @param object The object.
 * @param value The new value.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Sethttp_proxy_override(QmtSR_Object* object, const char* value);
/**
 * @brief Runs SRCppWrap::QmtSR::Gethttp_proxy_override.
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_Gethttp_proxy_override(QmtSR_Object* object, char** value);

/**
 * @brief Runs SRCppWrap::QmtSR::GetToolvexPinPath (`..\GEN\ToolvexPin.txt`).
 * @param object The object.
 * @param[out] value Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetToolvexPinPath(QmtSR_Object* object, char** value);

/* --- Log. */

/**
 * @brief Runs SRCppWrap::QmtSR::SRWrapperEnrollmentAuthLogEntry: one entry in the log file
 * that the enrolment status selects.
 * @param object The object.
 * @param message The entry's message.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SRWrapperEnrollmentAuthLogEntry(QmtSR_Object* object, const char* message);

/* --- HTTP client. */

/**
 * @brief Runs SRCppWrap::QmtSR::MakeCURLRequest (three arguments): a JSON PUT.
 * @param object The object.
 * @param url The URL.
 * @param body The JSON request body.
 * @param[out] status Receives the HTTP status, or 0 when no reply came.
 * @param[out] reply Receives a new text, the reply body up to its first zero byte (release it
 * with QmtSR_FreeText()), or NULL when the member left its reply untouched (no reply came).
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_MakeCURLRequest(QmtSR_Object* object, const char* url, const char* body,
                                    long* status, char** reply);

/**
 * @brief Runs SRCppWrap::QmtSR::MakeCURLRequest (five arguments): a JSON PUT with HTTP
 * authentication at the server.
 * @param object The object.
 * @param url The URL.
 * @param body The JSON request body.
 * @param userName The user name for the server.
 * @param password The password for the server.
 * @param[out] status Receives the HTTP status, or 0 when no reply came.
 * @param[out] reply Receives a new text, the reply body up to its first zero byte (release it
 * with QmtSR_FreeText()), or NULL when the member left its reply untouched (no reply came).
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_MakeCURLRequestWithCredentials(QmtSR_Object* object, const char* url,
                                                   const char* body, const char* userName,
                                                   const char* password, long* status,
                                                   char** reply);

/* --- Workflows and their building blocks. */

/**
 * @brief Runs SRCppWrap::QmtSR::EnrollmentProcess: the whole enrolment.
 * @param object The object.
 * @param codeAndOtpUrl The code-and-OTP URL.
 * @param enrollmentMessage The host's enrolment message (JSON), sent unchanged.
 * @param userName The back end's user name.
 * @param password The back end's password.
 * @param[in,out] reached The member's `bool&`: read on entry (non-zero is true); set to 1 when
 * the code-and-OTP request returned HTTP 200, else left as the host set it.
 * @param[out] result Receives the member's result (1000 for a confirmed enrolment).
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_EnrollmentProcess(QmtSR_Object* object, const char* codeAndOtpUrl,
                                      const char* enrollmentMessage, const char* userName,
                                      const char* password, int* reached, int* result);

/**
 * @brief Runs SRCppWrap::QmtSR::GetOTPforAuthentication: a login OTP from the stored seed.
 * @param object The object.
 * @param[out] result Receives the member's result (0 when an OTP was made).
 * @param[out] otp Receives a new text, the OTP (release it with QmtSR_FreeText()), or NULL
 * when the member left its OTP untouched (a failed exchange).
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetOTPforAuthentication(QmtSR_Object* object, int* result, char** otp);

/**
 * @brief Runs SRCppWrap::QmtSR::CreateSRObject: a new SDK context, made the process's own.
 * @param object The object.
 * @param[out] context Receives the SDK context; it stays the library's and is never released.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_CreateSRObject(QmtSR_Object* object, void** context);

/**
 * @brief Runs SRCppWrap::QmtSR::SetSRParameters: the configuration and the stored seed into the
 * process's SDK context.
 * @param object The object.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_SetSRParameters(QmtSR_Object* object);

/**
 * @brief Runs SRCppWrap::QmtSR::GetOTP: the online OTP exchange with the process's SDK context.
 * @param object The object.
 * @param[out] result Receives the member's result (0 when an OTP was made).
 * @param[out] otp Receives a new text, the OTP (release it with QmtSR_FreeText()), or NULL
 * when the member left its OTP untouched (a failed exchange).
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetOTP(QmtSR_Object* object, int* result, char** otp);

/**
 * @brief Runs SRCppWrap::QmtSR::CheckSeedValueAndPersist: saves the seed when the SDK changed it.
 * @param object The object.
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_CheckSeedValueAndPersist(QmtSR_Object* object);

/**
 * @brief Runs SRCppWrap::QmtSR::GetToolvexpin: the PIN file's first word.
 * @param object The object.
 * @param[out] pin Receives a new text; release it with QmtSR_FreeText().
 * @return A #QmtSR_Status.
 */
QMTSR_API int QmtSR_GetToolvexpin(QmtSR_Object* object, char** pin);

#ifdef __cplusplus
}
#endif

#endif
