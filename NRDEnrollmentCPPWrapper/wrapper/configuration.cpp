// The object's configuration: each setter stores its value and, except for the enrolment status
// and the proxy settings, logs it; getters return copies and never log.
#include <string>
#include <utility>

#include "QmtSR.h"

namespace SRCppWrap {

void QmtSR::SetUniquekey(std::string value) {
  uniquekey_ = std::move(value);
  LogLine("Uniquekey: %s", uniquekey_.c_str());
}
std::string QmtSR::GetUniquekey() {
  return uniquekey_;
}

void QmtSR::SetsentrelSeedFilePath(std::string value) {
  sentrelSeedFilePath_ = std::move(value);
  LogLine("SentrelSeedFilePath: %s", sentrelSeedFilePath_.c_str());
}
std::string QmtSR::GetsentrelSeedFilePath() {
  return sentrelSeedFilePath_;
}

void QmtSR::SetEnrollFilePath(std::string value) {
  enrollFilePath_ = std::move(value);
  LogLine("Enroll File Path: %s", enrollFilePath_.c_str());
}
std::string QmtSR::GetEnrollFilePath() {
  return enrollFilePath_;
}

void QmtSR::SetToolvex_Software_Version(std::string value) {
  toolvexSoftwareVersion_ = std::move(value);
  LogLine("Toolvex Software Version: %s", toolvexSoftwareVersion_.c_str());
}
std::string QmtSR::GetToolvex_Software_Version() {
  return toolvexSoftwareVersion_;
}

void QmtSR::Setsentrel_server_url(std::string value) {
  sentrelServerUrl_ = std::move(value);
  LogLine("Sentrel server url: %s", sentrelServerUrl_.c_str());
}
std::string QmtSR::Getsentrel_server_url() {
  return sentrelServerUrl_;
}

void QmtSR::Setsentrel_server_macid(std::string value) {
  sentrelServerMacid_ = std::move(value);
  LogLine("Sentrel server macid: %s", sentrelServerMacid_.c_str());
}
std::string QmtSR::Getsentrel_server_macid() {
  return sentrelServerMacid_;
}

void QmtSR::SetEnrollmentName(std::string value) {
  enrollmentName_ = std::move(value);
  LogLine("Enrollment Name: %s", enrollmentName_.c_str());
}
std::string QmtSR::GetEnrollmentName() {
  return enrollmentName_;
}

void QmtSR::Setsentrel_server_timeout(int value) {
  sentrelServerTimeout_ = value;
  LogLine("Sentrel server timeout: %d", sentrelServerTimeout_);
}
int QmtSR::Getsentrel_server_timeout() {
  return sentrelServerTimeout_;
}

void QmtSR::SetOTP_service_index(int value) {
  otpServiceIndex_ = value;
  LogLine("OTP server index: %d", otpServiceIndex_);
}
int QmtSR::GetOTP_service_index() {
  return otpServiceIndex_;
}

void QmtSR::Setdevice_serial(std::string value) {
  deviceSerial_ = std::move(value);
  LogLine("Device serial: %s", deviceSerial_.c_str());
}
std::string QmtSR::Getdevice_serial() {
  return deviceSerial_;
}

void QmtSR::SetRRDICode(std::string value) {
  rrdiCode_ = std::move(value);
  LogLine("RRDI Code: %s", rrdiCode_.c_str());
}
std::string QmtSR::GetRRDICode() {
  return rrdiCode_;
}

void QmtSR::SetEnrollmentStatus(int value) {
  enrollmentStatus_ = value;
}
int QmtSR::GetEnrollmentStatus() {
  return enrollmentStatus_;
}

void QmtSR::SetsentrelCodeandOTPurl(std::string value) {
  sentrelCodeandOTPurl_ = std::move(value);
  LogLine("Sentrel Code and OTP url\t\t\t\t: %s", sentrelCodeandOTPurl_.c_str());
}
std::string QmtSR::GetsentrelCodeandOTPurl() {
  return sentrelCodeandOTPurl_;
}

void QmtSR::SetsentrelCheckEnrollmenturl(std::string value) {
  sentrelCheckEnrollmenturl_ = std::move(value);
  LogLine("Sentrel Check Enrollment url\t\t\t: %s", sentrelCheckEnrollmenturl_.c_str());
}
std::string QmtSR::GetsentrelCheckEnrollmenturl() {
  return sentrelCheckEnrollmenturl_;
}

void QmtSR::SetgetPDVurl(std::string value) {
  getPDVurl_ = std::move(value);
  LogLine("GetPDVurl\t\t\t\t\t\t\t: %s", getPDVurl_.c_str());
}

void QmtSR::SetRLXEnrollIniturl(std::string value) {
  rlxEnrollIniturl_ = std::move(value);
  LogLine("RLX Enrollment Initialization url\t: %s", rlxEnrollIniturl_.c_str());
}

void QmtSR::SetRLXEnrollActivationurl(std::string value) {
  rlxEnrollActivationurl_ = std::move(value);
  LogLine("RLX Enrollment Activation url\t\t: %s", rlxEnrollActivationurl_.c_str());
}

void QmtSR::SetBiosSerialNumber(std::string value) {
  biosSerialNumber_ = std::move(value);
  LogLine("QMT parameter: Bios Serial Number \t\t: %s", biosSerialNumber_.c_str());
}
std::string QmtSR::GetBiosSerialNumber() {
  return biosSerialNumber_;
}

void QmtSR::Setproxy_user(std::string value) {
  proxyUser_ = std::move(value);
}
std::string QmtSR::Getproxy_user() {
  return proxyUser_;
}

void QmtSR::Setproxy_password(std::string value) {
  proxyPassword_ = std::move(value);
}
std::string QmtSR::Getproxy_password() {
  return proxyPassword_;
}

void QmtSR::Sethttp_address(std::string value) {
  httpAddress_ = std::move(value);
}
std::string QmtSR::Gethttp_address() {
  return httpAddress_;
}

void QmtSR::Sethttp_port(long value) {
  httpPort_ = value;
}
long QmtSR::Gethttp_port() {
  return httpPort_;
}

void QmtSR::Sethttp_proxy_override(std::string value) {
  httpProxyOverride_ = std::move(value);
}
std::string QmtSR::Gethttp_proxy_override() {
  return httpProxyOverride_;
}

std::string QmtSR::GetToolvexPinPath() {
  return "..\\GEN\\ToolvexPin.txt";
}

}  // namespace SRCppWrap
