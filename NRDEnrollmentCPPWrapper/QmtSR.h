// The library's one exported class: configuration, log, HTTP client and the two workflows
// (enrolment and login OTP) of a workstation at the Sentrel authentication service.
#ifndef NRD_QMTSR_H
#define NRD_QMTSR_H

#include <string>

#include "QmtSRExport.h"

namespace SRCppWrap {

class QMTSR_API QmtSR {
 public:
  // --- Initialisers (each framed by banners in the log).
  void QmtSRInitialize(std::string uniqueKey, std::string seedFilePath, std::string enrollFilePath,
                       std::string softwareVersion, std::string serverUrl, std::string macId,
                       std::string enrollmentName, int timeout, int otpServiceIndex,
                       std::string deviceSerial, std::string rrdiCode, int enrollmentStatus);
  void InitializeEnrollmenturls(std::string codeAndOtpUrl, std::string checkEnrollmentUrl,
                                std::string pdvUrl, std::string rlxEnrollInitUrl,
                                std::string rlxEnrollActivationUrl);
  void InitQMTParameters(std::string biosSerialNumber);
  void InitializeProxyParameters(std::string proxyUser, std::string proxyPassword,
                                 std::string proxyAddress, long proxyPort,
                                 std::string proxyOverride);

  // --- Setters and getters.
  void SetUniquekey(std::string value);
  std::string GetUniquekey();
  void SetsentrelSeedFilePath(std::string value);
  std::string GetsentrelSeedFilePath();
  void SetEnrollFilePath(std::string value);
  std::string GetEnrollFilePath();
  void SetToolvex_Software_Version(std::string value);
  std::string GetToolvex_Software_Version();
  void Setsentrel_server_url(std::string value);
  std::string Getsentrel_server_url();
  void Setsentrel_server_macid(std::string value);
  std::string Getsentrel_server_macid();
  void SetEnrollmentName(std::string value);
  std::string GetEnrollmentName();
  void Setsentrel_server_timeout(int value);
  int Getsentrel_server_timeout();
  void SetOTP_service_index(int value);
  int GetOTP_service_index();
  void Setdevice_serial(std::string value);
  std::string Getdevice_serial();
  void SetRRDICode(std::string value);
  std::string GetRRDICode();
  void SetEnrollmentStatus(int value);
  int GetEnrollmentStatus();
  void SetsentrelCodeandOTPurl(std::string value);
  std::string GetsentrelCodeandOTPurl();
  void SetsentrelCheckEnrollmenturl(std::string value);
  std::string GetsentrelCheckEnrollmenturl();
  void SetgetPDVurl(std::string value);
  void SetRLXEnrollIniturl(std::string value);
  void SetRLXEnrollActivationurl(std::string value);
  void SetBiosSerialNumber(std::string value);
  std::string GetBiosSerialNumber();
  void Setproxy_user(std::string value);
  std::string Getproxy_user();
  void Setproxy_password(std::string value);
  std::string Getproxy_password();
  void Sethttp_address(std::string value);
  std::string Gethttp_address();
  void Sethttp_port(long value);
  long Gethttp_port();
  void Sethttp_proxy_override(std::string value);
  std::string Gethttp_proxy_override();
  std::string GetToolvexPinPath();  // always "..\GEN\ToolvexPin.txt"

  // --- Log: appends one entry to the log file chosen by the enrolment status.
  void SRWrapperEnrollmentAuthLogEntry(std::string message);

  // --- HTTP client: JSON PUT to the enrolment back end; returns the HTTP status (0 on failure).
  long MakeCURLRequest(std::string url, std::string body, std::string& reply);
  long MakeCURLRequest(std::string url, std::string body, std::string userName,
                       std::string password, std::string& reply);

  // --- Workflows.
  int EnrollmentProcess(std::string codeAndOtpUrl, std::string enrollmentMessage,
                        std::string userName, std::string password, bool& reached);
  int GetOTPforAuthentication(std::string& otp);
  void* CreateSRObject();
  void SetSRParameters();
  int GetOTP(std::string& otp);
  void CheckSeedValueAndPersist();
  std::string GetToolvexpin();

 private:
  // Formats one log line into the log buffer (cut at its size) and writes it as an entry.
  void LogLine(const char* format, ...) QMTSR_PRINTF_LIKE(2, 3);
  void LogBanner(const char* title);
  // CheckSeedValueAndPersist's work; false only when a changed seed could not be saved.
  bool PersistChangedSeed();
  // False, with the reason logged, for a PIN that must not be sent (see authentication.cpp).
  bool PinIsSendable(const std::string& pin);
  // Takes the installation's lock for this object (see installation_lock.cpp); false, with one
  // line logged, when another workflow held it for the whole bounded wait.
  bool HoldInstallation();

  std::string uniquekey_;                  // 1
  std::string sentrelSeedFilePath_;        // 2
  std::string enrollFilePath_;             // 3
  std::string toolvexSoftwareVersion_;     // 4
  std::string sentrelServerUrl_;           // 5
  std::string sentrelServerMacid_;         // 6
  std::string enrollmentName_;             // 7
  int sentrelServerTimeout_ = 0;           // 8
  int otpServiceIndex_ = 0;                // 9
  std::string deviceSerial_;               // 10
  std::string rrdiCode_;                   // 11
  int enrollmentStatus_ = 0;               // 12: 1 = enrolled (authentication log)
  std::string sentrelCodeandOTPurl_;       // 13
  std::string sentrelCheckEnrollmenturl_;  // 14
  std::string getPDVurl_;                  // 15
  std::string rlxEnrollIniturl_;           // 16
  std::string rlxEnrollActivationurl_;     // 17
  std::string biosSerialNumber_;           // 18
  std::string proxyUser_;                  // 19
  std::string proxyPassword_;              // 20 never logged
  std::string httpAddress_;                // 21
  long httpPort_ = 0;                      // 22
  std::string httpProxyOverride_;          // 23
  char logBuffer_[32768] = {};             // 24
};

}  // namespace SRCppWrap

#endif
