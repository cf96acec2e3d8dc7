/**
 * @file QmtSRPortable.h
 * @brief SRCppWrap::QmtSR for a host built with another compiler than the library's (MSVC, for
 * one): include this header instead of QmtSR.h.
 *
 * It defines the class with the same public members and signatures as QmtSR.h, each inline over
 * the C interface of QmtSR_c.h, so the host's source compiles unchanged: the host's own compiler
 * builds the class with its own std::string, and only C types cross into the library. Each
 * member does what its namesake in QmtSR.h documents. Copies copy the library's object; the
 * library's texts are copied and released through QmtSR_FreeText() before a member returns.
 * Where the library's member would have thrown, this one throws too: std::bad_alloc when memory
 * ran out, std::runtime_error otherwise. A translation unit includes QmtSR.h or this header,
 * never both.
 */
#ifndef NRD_QMTSR_PORTABLE_H
#define NRD_QMTSR_PORTABLE_H

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "QmtSR_c.h"

/** @cond */
namespace SRCppWrap {

namespace c_interface {

// A status of the C interface as the exception the library's member threw.
inline void Check(int status) {
  if (status == QMTSR_OK) return;
  if (status == QMTSR_OUT_OF_MEMORY) throw std::bad_alloc();
  throw std::runtime_error(status == QMTSR_INVALID_ARGUMENT
                               ? "NRDEnrollmentCPPWrapper: a null argument"
                               : "NRDEnrollmentCPPWrapper: the member failed");
}

// A copy of a text that the library handed out (none: ""), which goes back to the library.
inline std::string Take(char* text) {
  const std::unique_ptr<char, void (*)(char*)> owned(text, &QmtSR_FreeText);
  return text != nullptr ? std::string(text) : std::string();
}

// Assigns a text that the library handed out to `target`; none leaves `target` as it was.
inline void TakeInto(char* text, std::string& target) {
  if (text != nullptr) target = Take(text);
}

inline std::string Text(int (*get)(QmtSR_Object*, char**), QmtSR_Object* object) {
  char* text = nullptr;
  Check(get(object, &text));
  return Take(text);
}

template <typename Number>
Number Value(int (*get)(QmtSR_Object*, Number*), QmtSR_Object* object) {
  Number value = 0;
  Check(get(object, &value));
  return value;
}

}  // namespace c_interface

// The signatures are QmtSR.h's: texts by value, though only read here.
// NOLINTBEGIN(performance-unnecessary-value-param)
class QmtSR {
 public:
  QmtSR() { c_interface::Check(QmtSR_Create(&object_)); }
  QmtSR(const QmtSR& other) { c_interface::Check(QmtSR_Copy(other.object_, &object_)); }
  QmtSR& operator=(const QmtSR& other) {
    if (this != &other) c_interface::Check(QmtSR_Assign(object_, other.object_));
    return *this;
  }
  ~QmtSR() { QmtSR_Destroy(object_); }

  // --- Initialisers.
  void QmtSRInitialize(std::string uniqueKey, std::string seedFilePath, std::string enrollFilePath,
                       std::string softwareVersion, std::string serverUrl, std::string macId,
                       std::string enrollmentName, int timeout, int otpServiceIndex,
                       std::string deviceSerial, std::string rrdiCode, int enrollmentStatus) {
    c_interface::Check(QmtSR_QmtSRInitialize(
        object_, uniqueKey.c_str(), seedFilePath.c_str(), enrollFilePath.c_str(),
        softwareVersion.c_str(), serverUrl.c_str(), macId.c_str(), enrollmentName.c_str(), timeout,
        otpServiceIndex, deviceSerial.c_str(), rrdiCode.c_str(), enrollmentStatus));
  }
  void InitializeEnrollmenturls(std::string codeAndOtpUrl, std::string checkEnrollmentUrl,
                                std::string pdvUrl, std::string rlxEnrollInitUrl,
                                std::string rlxEnrollActivationUrl) {
    c_interface::Check(QmtSR_InitializeEnrollmenturls(
        object_, codeAndOtpUrl.c_str(), checkEnrollmentUrl.c_str(), pdvUrl.c_str(),
        rlxEnrollInitUrl.c_str(), rlxEnrollActivationUrl.c_str()));
  }
  void InitQMTParameters(std::string biosSerialNumber) {
    c_interface::Check(QmtSR_InitQMTParameters(object_, biosSerialNumber.c_str()));
  }
  void InitializeProxyParameters(std::string proxyUser, std::string proxyPassword,
                                 std::string proxyAddress, long proxyPort,
                                 std::string proxyOverride) {
    c_interface::Check(QmtSR_InitializeProxyParameters(object_, proxyUser.c_str(),
                                                       proxyPassword.c_str(), proxyAddress.c_str(),
                                                       proxyPort, proxyOverride.c_str()));
  }

  // --- Setters and getters.
  void SetUniquekey(std::string value) {
    c_interface::Check(QmtSR_SetUniquekey(object_, value.c_str()));
  }
  std::string GetUniquekey() { return c_interface::Text(QmtSR_GetUniquekey, object_); }
  void SetsentrelSeedFilePath(std::string value) {
    c_interface::Check(QmtSR_SetsentrelSeedFilePath(object_, value.c_str()));
  }
  std::string GetsentrelSeedFilePath() {
    return c_interface::Text(QmtSR_GetsentrelSeedFilePath, object_);
  }
  void SetEnrollFilePath(std::string value) {
    c_interface::Check(QmtSR_SetEnrollFilePath(object_, value.c_str()));
  }
  std::string GetEnrollFilePath() { return c_interface::Text(QmtSR_GetEnrollFilePath, object_); }
  void SetToolvex_Software_Version(std::string value) {
    c_interface::Check(QmtSR_SetToolvex_Software_Version(object_, value.c_str()));
  }
  std::string GetToolvex_Software_Version() {
    return c_interface::Text(QmtSR_GetToolvex_Software_Version, object_);
  }
  void Setsentrel_server_url(std::string value) {
    c_interface::Check(QmtSR_Setsentrel_server_url(object_, value.c_str()));
  }
  std::string Getsentrel_server_url() {
    return c_interface::Text(QmtSR_Getsentrel_server_url, object_);
  }
  void Setsentrel_server_macid(std::string value) {
    c_interface::Check(QmtSR_Setsentrel_server_macid(object_, value.c_str()));
  }
  std::string Getsentrel_server_macid() {
    return c_interface::Text(QmtSR_Getsentrel_server_macid, object_);
  }
  void SetEnrollmentName(std::string value) {
    c_interface::Check(QmtSR_SetEnrollmentName(object_, value.c_str()));
  }
  std::string GetEnrollmentName() { return c_interface::Text(QmtSR_GetEnrollmentName, object_); }
  void Setsentrel_server_timeout(int value) {
    c_interface::Check(QmtSR_Setsentrel_server_timeout(object_, value));
  }
  int Getsentrel_server_timeout() {
    return c_interface::Value(QmtSR_Getsentrel_server_timeout, object_);
  }
  void SetOTP_service_index(int value) {
    c_interface::Check(QmtSR_SetOTP_service_index(object_, value));
  }
  int GetOTP_service_index() { return c_interface::Value(QmtSR_GetOTP_service_index, object_); }
  void Setdevice_serial(std::string value) {
    c_interface::Check(QmtSR_Setdevice_serial(object_, value.c_str()));
  }
  std::string Getdevice_serial() { return c_interface::Text(QmtSR_Getdevice_serial, object_); }
  void SetRRDICode(std::string value) {
    c_interface::Check(QmtSR_SetRRDICode(object_, value.c_str()));
  }
  std::string GetRRDICode() { return c_interface::Text(QmtSR_GetRRDICode, object_); }
  void SetEnrollmentStatus(int value) {
    c_interface::Check(QmtSR_SetEnrollmentStatus(object_, value));
  }
  int GetEnrollmentStatus() { return c_interface::Value(QmtSR_GetEnrollmentStatus, object_); }
  void SetsentrelCodeandOTPurl(std::string value) {
    c_interface::Check(QmtSR_SetsentrelCodeandOTPurl(object_, value.c_str()));
  }
  std::string GetsentrelCodeandOTPurl() {
    return c_interface::Text(QmtSR_GetsentrelCodeandOTPurl, object_);
  }
  void SetsentrelCheckEnrollmenturl(std::string value) {
    c_interface::Check(QmtSR_SetsentrelCheckEnrollmenturl(object_, value.c_str()));
  }
  std::string GetsentrelCheckEnrollmenturl() {
    return c_interface::Text(QmtSR_GetsentrelCheckEnrollmenturl, object_);
  }
  void SetgetPDVurl(std::string value) {
    c_interface::Check(QmtSR_SetgetPDVurl(object_, value.c_str()));
  }
  void SetRLXEnrollIniturl(std::string value) {
    c_interface::Check(QmtSR_SetRLXEnrollIniturl(object_, value.c_str()));
  }
  void SetRLXEnrollActivationurl(std::string value) {
    c_interface::Check(QmtSR_SetRLXEnrollActivationurl(object_, value.c_str()));
  }
  void SetBiosSerialNumber(std::string value) {
    c_interface::Check(QmtSR_SetBiosSerialNumber(object_, value.c_str()));
  }
  std::string GetBiosSerialNumber() {
    return c_interface::Text(QmtSR_GetBiosSerialNumber, object_);
  }
  void Setproxy_user(std::string value) {
    c_interface::Check(QmtSR_Setproxy_user(object_, value.c_str()));
  }
  std::string Getproxy_user() { return c_interface::Text(QmtSR_Getproxy_user, object_); }
  void Setproxy_password(std::string value) {
    c_interface::Check(QmtSR_Setproxy_password(object_, value.c_str()));
  }
  std::string Getproxy_password() { return c_interface::Text(QmtSR_Getproxy_password, object_); }
  void Sethttp_address(std::string value) {
    c_interface::Check(QmtSR_Sethttp_address(object_, value.c_str()));
  }
  std::string Gethttp_address() { return c_interface::Text(QmtSR_Gethttp_address, object_); }
  void Sethttp_port(long value) { c_interface::Check(QmtSR_Sethttp_port(object_, value)); }
  long Gethttp_port() { return c_interface::Value(QmtSR_Gethttp_port, object_); }
  void Sethttp_proxy_override(std::string value) {
    c_interface::Check(QmtSR_Sethttp_proxy_override(object_, value.c_str()));
  }
  std::string Gethttp_proxy_override() {
    return c_interface::Text(QmtSR_Gethttp_proxy_override, object_);
  }
  std::string GetToolvexPinPath() { return c_interface::Text(QmtSR_GetToolvexPinPath, object_); }

  // --- Log.
  void SRWrapperEnrollmentAuthLogEntry(std::string message) {
    c_interface::Check(QmtSR_SRWrapperEnrollmentAuthLogEntry(object_, message.c_str()));
  }

  // --- HTTP client.
  long MakeCURLRequest(std::string url, std::string body, std::string& reply) {
    long status = 0;
    char* text = nullptr;
    c_interface::Check(QmtSR_MakeCURLRequest(object_, url.c_str(), body.c_str(), &status, &text));
    c_interface::TakeInto(text, reply);
    return status;
  }
  long MakeCURLRequest(std::string url, std::string body, std::string userName,
                       std::string password, std::string& reply) {
    long status = 0;
    char* text = nullptr;
    c_interface::Check(QmtSR_MakeCURLRequestWithCredentials(
        object_, url.c_str(), body.c_str(), userName.c_str(), password.c_str(), &status, &text));
    c_interface::TakeInto(text, reply);
    return status;
  }

  // --- Workflows.
  int EnrollmentProcess(std::string codeAndOtpUrl, std::string enrollmentMessage,
                        std::string userName, std::string password, bool& reached) {
    int flag = reached ? 1 : 0;
    int result = 0;
    c_interface::Check(QmtSR_EnrollmentProcess(object_, codeAndOtpUrl.c_str(),
                                               enrollmentMessage.c_str(), userName.c_str(),
                                               password.c_str(), &flag, &result));
    reached = flag != 0;
    return result;
  }
  int GetOTPforAuthentication(std::string& otp) {
    int result = 0;
    char* text = nullptr;
    c_interface::Check(QmtSR_GetOTPforAuthentication(object_, &result, &text));
    c_interface::TakeInto(text, otp);
    return result;
  }
  void* CreateSRObject() {
    void* context = nullptr;
    c_interface::Check(QmtSR_CreateSRObject(object_, &context));
    return context;
  }
  void SetSRParameters() { c_interface::Check(QmtSR_SetSRParameters(object_)); }
  int GetOTP(std::string& otp) {
    int result = 0;
    char* text = nullptr;
    c_interface::Check(QmtSR_GetOTP(object_, &result, &text));
    c_interface::TakeInto(text, otp);
    return result;
  }
  void CheckSeedValueAndPersist() { c_interface::Check(QmtSR_CheckSeedValueAndPersist(object_)); }
  std::string GetToolvexpin() { return c_interface::Text(QmtSR_GetToolvexpin, object_); }

 private:
  QmtSR_Object* object_ = nullptr;  // the library's object, this one's own
};
// NOLINTEND(performance-unnecessary-value-param)

}  // namespace SRCppWrap
/** @endcond */

#endif
