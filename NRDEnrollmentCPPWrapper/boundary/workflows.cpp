// The C interface's initialisers, log entry, HTTP requests and workflows: each runs the class's
// member of the same name and hands its results back through the out-parameters.
#include "boundary/boundary.h"

using SRCppWrap::boundary::Guarded;
using SRCppWrap::boundary::HandOut;
using SRCppWrap::boundary::HandOutIfWritten;
using SRCppWrap::boundary::Untouched;

namespace {

// True when every text is present.
template <typename... Texts>
bool AllGiven(const Texts*... texts) {
  return ((texts != nullptr) && ...);
}

}  // namespace

int QmtSR_QmtSRInitialize(QmtSR_Object* object, const char* uniqueKey, const char* seedFilePath,
                          const char* enrollFilePath, const char* softwareVersion,
                          const char* serverUrl, const char* macId, const char* enrollmentName,
                          int timeout, int otpServiceIndex, const char* deviceSerial,
                          const char* rrdiCode, int enrollmentStatus) {
  if (!AllGiven(object, uniqueKey, seedFilePath, enrollFilePath, softwareVersion, serverUrl, macId,
                enrollmentName, deviceSerial, rrdiCode)) {
    return QMTSR_INVALID_ARGUMENT;
  }
  return Guarded([&] {
    object->object.QmtSRInitialize(uniqueKey, seedFilePath, enrollFilePath, softwareVersion,
                                   serverUrl, macId, enrollmentName, timeout, otpServiceIndex,
                                   deviceSerial, rrdiCode, enrollmentStatus);
  });
}

int QmtSR_InitializeEnrollmenturls(QmtSR_Object* object, const char* codeAndOtpUrl,
                                   const char* checkEnrollmentUrl, const char* pdvUrl,
                                   const char* rlxEnrollInitUrl,
                                   const char* rlxEnrollActivationUrl) {
  if (!AllGiven(object, codeAndOtpUrl, checkEnrollmentUrl, pdvUrl, rlxEnrollInitUrl,
                rlxEnrollActivationUrl)) {
    return QMTSR_INVALID_ARGUMENT;
  }
  return Guarded([&] {
    object->object.InitializeEnrollmenturls(codeAndOtpUrl, checkEnrollmentUrl, pdvUrl,
                                            rlxEnrollInitUrl, rlxEnrollActivationUrl);
  });
}

int QmtSR_InitQMTParameters(QmtSR_Object* object, const char* biosSerialNumber) {
  if (!AllGiven(object, biosSerialNumber)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { object->object.InitQMTParameters(biosSerialNumber); });
}

int QmtSR_InitializeProxyParameters(QmtSR_Object* object, const char* proxyUser,
                                    const char* proxyPassword, const char* proxyAddress,
                                    long proxyPort, const char* proxyOverride) {
  if (!AllGiven(object, proxyUser, proxyPassword, proxyAddress, proxyOverride)) {
    return QMTSR_INVALID_ARGUMENT;
  }
  return Guarded([&] {
    object->object.InitializeProxyParameters(proxyUser, proxyPassword, proxyAddress, proxyPort,
                                             proxyOverride);
  });
}

int QmtSR_SRWrapperEnrollmentAuthLogEntry(QmtSR_Object* object, const char* message) {
  if (!AllGiven(object, message)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { object->object.SRWrapperEnrollmentAuthLogEntry(message); });
}

int QmtSR_MakeCURLRequest(QmtSR_Object* object, const char* url, const char* body, long* status,
                          char** reply) {
  if (!AllGiven(object, url, body, status, reply)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] {
    std::string received = Untouched();
    const long code = object->object.MakeCURLRequest(url, body, received);
    *reply = HandOutIfWritten(received);
    *status = code;
  });
}

int QmtSR_MakeCURLRequestWithCredentials(QmtSR_Object* object, const char* url, const char* body,
                                         const char* userName, const char* password, long* status,
                                         char** reply) {
  if (!AllGiven(object, url, body, userName, password, status, reply)) {
    return QMTSR_INVALID_ARGUMENT;
  }
  return Guarded([&] {
    std::string received = Untouched();
    const long code = object->object.MakeCURLRequest(url, body, userName, password, received);
    *reply = HandOutIfWritten(received);
    *status = code;
  });
}

int QmtSR_EnrollmentProcess(QmtSR_Object* object, const char* codeAndOtpUrl,
                            const char* enrollmentMessage, const char* userName,
                            const char* password, int* reached, int* result) {
  if (!AllGiven(object, codeAndOtpUrl, enrollmentMessage, userName, password, reached, result)) {
    return QMTSR_INVALID_ARGUMENT;
  }
  return Guarded([&] {
    bool flag = *reached != 0;
    const int code = object->object.EnrollmentProcess(codeAndOtpUrl, enrollmentMessage, userName,
                                                      password, flag);
    if (flag && *reached == 0) *reached = 1;  // a value the host set stays as it was
    *result = code;
  });
}

int QmtSR_GetOTPforAuthentication(QmtSR_Object* object, int* result, char** otp) {
  if (!AllGiven(object, result, otp)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] {
    std::string made = Untouched();
    const int code = object->object.GetOTPforAuthentication(made);
    *otp = HandOutIfWritten(made);
    *result = code;
  });
}

int QmtSR_CreateSRObject(QmtSR_Object* object, void** context) {
  if (!AllGiven(object, context)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { *context = object->object.CreateSRObject(); });
}

int QmtSR_SetSRParameters(QmtSR_Object* object) {
  if (object == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { object->object.SetSRParameters(); });
}

int QmtSR_GetOTP(QmtSR_Object* object, int* result, char** otp) {
  if (!AllGiven(object, result, otp)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] {
    std::string made = Untouched();
    const int code = object->object.GetOTP(made);
    *otp = HandOutIfWritten(made);
    *result = code;
  });
}

int QmtSR_CheckSeedValueAndPersist(QmtSR_Object* object) {
  if (object == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { object->object.CheckSeedValueAndPersist(); });
}

int QmtSR_GetToolvexpin(QmtSR_Object* object, char** pin) {
  if (!AllGiven(object, pin)) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { *pin = HandOut(object->object.GetToolvexpin()); });
}
