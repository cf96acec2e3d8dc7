// The C interface's setters and getters: each runs the class's accessor of the same name.
#include "boundary/boundary.h"

namespace {

using SRCppWrap::QmtSR;
using SRCppWrap::boundary::Guarded;

int SetText(QmtSR_Object* object, const char* value, void (QmtSR::*set)(std::string)) {
  if (object == nullptr || value == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { (object->object.*set)(value); });
}

int GetText(QmtSR_Object* object, char** value, std::string (QmtSR::*get)()) {
  if (object == nullptr || value == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { *value = SRCppWrap::boundary::HandOut((object->object.*get)()); });
}

template <typename Number>
int SetNumber(QmtSR_Object* object, Number value, void (QmtSR::*set)(Number)) {
  if (object == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { (object->object.*set)(value); });
}

template <typename Number>
int GetNumber(QmtSR_Object* object, Number* value, Number (QmtSR::*get)()) {
  if (object == nullptr || value == nullptr) return QMTSR_INVALID_ARGUMENT;
  return Guarded([&] { *value = (object->object.*get)(); });
}

}  // namespace

int QmtSR_SetUniquekey(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetUniquekey);
}
int QmtSR_GetUniquekey(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetUniquekey);
}
int QmtSR_SetsentrelSeedFilePath(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetsentrelSeedFilePath);
}
int QmtSR_GetsentrelSeedFilePath(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetsentrelSeedFilePath);
}
int QmtSR_SetEnrollFilePath(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetEnrollFilePath);
}
int QmtSR_GetEnrollFilePath(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetEnrollFilePath);
}
int QmtSR_SetToolvex_Software_Version(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetToolvex_Software_Version);
}
int QmtSR_GetToolvex_Software_Version(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetToolvex_Software_Version);
}
int QmtSR_Setsentrel_server_url(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Setsentrel_server_url);
}
int QmtSR_Getsentrel_server_url(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Getsentrel_server_url);
}
int QmtSR_Setsentrel_server_macid(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Setsentrel_server_macid);
}
int QmtSR_Getsentrel_server_macid(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Getsentrel_server_macid);
}
int QmtSR_SetEnrollmentName(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetEnrollmentName);
}
int QmtSR_GetEnrollmentName(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetEnrollmentName);
}
int QmtSR_Setsentrel_server_timeout(QmtSR_Object* object, int value) {
  return SetNumber(object, value, &QmtSR::Setsentrel_server_timeout);
}
int QmtSR_Getsentrel_server_timeout(QmtSR_Object* object, int* value) {
  return GetNumber(object, value, &QmtSR::Getsentrel_server_timeout);
}
int QmtSR_SetOTP_service_index(QmtSR_Object* object, int value) {
  return SetNumber(object, value, &QmtSR::SetOTP_service_index);
}
int QmtSR_GetOTP_service_index(QmtSR_Object* object, int* value) {
  return GetNumber(object, value, &QmtSR::GetOTP_service_index);
}
int QmtSR_Setdevice_serial(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Setdevice_serial);
}
int QmtSR_Getdevice_serial(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Getdevice_serial);
}
int QmtSR_SetRRDICode(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetRRDICode);
}
int QmtSR_GetRRDICode(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetRRDICode);
}
int QmtSR_SetEnrollmentStatus(QmtSR_Object* object, int value) {
  return SetNumber(object, value, &QmtSR::SetEnrollmentStatus);
}
int QmtSR_GetEnrollmentStatus(QmtSR_Object* object, int* value) {
  return GetNumber(object, value, &QmtSR::GetEnrollmentStatus);
}
int QmtSR_SetsentrelCodeandOTPurl(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetsentrelCodeandOTPurl);
}
int QmtSR_GetsentrelCodeandOTPurl(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetsentrelCodeandOTPurl);
}
int QmtSR_SetsentrelCheckEnrollmenturl(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetsentrelCheckEnrollmenturl);
}
int QmtSR_GetsentrelCheckEnrollmenturl(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetsentrelCheckEnrollmenturl);
}
int QmtSR_SetgetPDVurl(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetgetPDVurl);
}
int QmtSR_SetRLXEnrollIniturl(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetRLXEnrollIniturl);
}
int QmtSR_SetRLXEnrollActivationurl(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetRLXEnrollActivationurl);
}
int QmtSR_SetBiosSerialNumber(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::SetBiosSerialNumber);
}
int QmtSR_GetBiosSerialNumber(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetBiosSerialNumber);
}
int QmtSR_Setproxy_user(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Setproxy_user);
}
int QmtSR_Getproxy_user(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Getproxy_user);
}
int QmtSR_Setproxy_password(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Setproxy_password);
}
int QmtSR_Getproxy_password(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Getproxy_password);
}
int QmtSR_Sethttp_address(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Sethttp_address);
}
int QmtSR_Gethttp_address(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Gethttp_address);
}
int QmtSR_Sethttp_port(QmtSR_Object* object, long value) {
  return SetNumber(object, value, &QmtSR::Sethttp_port);
}
int QmtSR_Gethttp_port(QmtSR_Object* object, long* value) {
  return GetNumber(object, value, &QmtSR::Gethttp_port);
}
int QmtSR_Sethttp_proxy_override(QmtSR_Object* object, const char* value) {
  return SetText(object, value, &QmtSR::Sethttp_proxy_override);
}
int QmtSR_Gethttp_proxy_override(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::Gethttp_proxy_override);
}
int QmtSR_GetToolvexPinPath(QmtSR_Object* object, char** value) {
  return GetText(object, value, &QmtSR::GetToolvexPinPath);
}
