// The four initialisers: each frames its values with banners in the log. A standard exception
// while storing (an allocation failure copying a text, say) is logged, the remaining values keep
// what they had, and the initialiser still closes its block with the end banner.
#include <exception>
#include <string>
#include <utility>

#include "QmtSR.h"

namespace SRCppWrap {

void QmtSR::QmtSRInitialize(std::string uniqueKey, std::string seedFilePath,
                            std::string enrollFilePath, std::string softwareVersion,
                            std::string serverUrl, std::string macId, std::string enrollmentName,
                            int timeout, int otpServiceIndex, std::string deviceSerial,
                            std::string rrdiCode, int enrollmentStatus) {
  // The status picks the log file, so it is stored before the first line is written.
  enrollmentStatus_ = enrollmentStatus;
  try {
    LogBanner("Initializing Sentrel with below values started");
    SetUniquekey(std::move(uniqueKey));
    SetsentrelSeedFilePath(std::move(seedFilePath));
    SetEnrollFilePath(std::move(enrollFilePath));
    SetToolvex_Software_Version(std::move(softwareVersion));
    Setsentrel_server_url(std::move(serverUrl));
    Setsentrel_server_macid(std::move(macId));
    SetEnrollmentName(std::move(enrollmentName));
    Setsentrel_server_timeout(timeout);
    SetOTP_service_index(otpServiceIndex);
    Setdevice_serial(std::move(deviceSerial));
    SetRRDICode(std::move(rrdiCode));
  } catch (const std::exception& e) {
    LogLine("error while QmtSRInitialize is: %s", e.what());
  }
  LogBanner("Initializing Sentrel with above values End");
}

void QmtSR::InitializeEnrollmenturls(std::string codeAndOtpUrl, std::string checkEnrollmentUrl,
                                     std::string pdvUrl, std::string rlxEnrollInitUrl,
                                     std::string rlxEnrollActivationUrl) {
  try {
    LogBanner("Initializing Enrollment urls started");
    SetsentrelCodeandOTPurl(std::move(codeAndOtpUrl));
    SetsentrelCheckEnrollmenturl(std::move(checkEnrollmentUrl));
    SetgetPDVurl(std::move(pdvUrl));
    SetRLXEnrollIniturl(std::move(rlxEnrollInitUrl));
    SetRLXEnrollActivationurl(std::move(rlxEnrollActivationUrl));
  } catch (const std::exception& e) {
    LogLine("error while Initializing Enrollmenturls is: %s", e.what());
  }
  LogBanner("Initializing Enrollment urls End");
}

void QmtSR::InitQMTParameters(std::string biosSerialNumber) {
  try {
    LogBanner("Initializing QMT parameters started");
    SetBiosSerialNumber(std::move(biosSerialNumber));
  } catch (const std::exception& e) {
    LogLine("error while Initializing QMT parameters is: %s", e.what());
  }
  LogBanner("Initializing QMT parameters End");
}

void QmtSR::InitializeProxyParameters(std::string proxyUser, std::string proxyPassword,
                                      std::string proxyAddress, long proxyPort,
                                      std::string proxyOverride) {
  // The proxy setters write no lines; the values are logged here, the password never.
  try {
    LogBanner("Initializing Proxy with below values started");
    Setproxy_user(std::move(proxyUser));
    LogLine("proxy_user: %s", proxyUser_.c_str());
    Setproxy_password(std::move(proxyPassword));
    Sethttp_address(std::move(proxyAddress));
    LogLine("proxy http_address: %s", httpAddress_.c_str());
    Sethttp_port(proxyPort);
    LogLine("proxy http_port: %ld", httpPort_);
    Sethttp_proxy_override(std::move(proxyOverride));
    LogLine("http_proxy_override: %s", httpProxyOverride_.c_str());
  } catch (const std::exception& e) {
    LogLine("error while Initializing Proxy Parameters is: %s", e.what());
  }
  LogBanner("Initializing Proxy with above values End");
}

}  // namespace SRCppWrap
