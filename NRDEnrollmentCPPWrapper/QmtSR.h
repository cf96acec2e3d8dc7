/// \file QmtSR.h
/// \brief The library's one exported class: configuration, log, HTTP client and the two
/// workflows (enrolment and login OTP) of a workstation at the Sentrel authentication service.
///
/// Results of every member, with what to tell the user: QmtSRResults.h. Call sequences, files
/// and logs for the host: docs/host-guide.md ("Host guide" in the generated reference).
#ifndef NRD_QMTSR_H
#define NRD_QMTSR_H

#include <string>

#include "QmtSRExport.h"

/// The exported class and its results table.
namespace SRCppWrap {

/// One workstation's configuration and the two workflows that use it.
///
/// **Use.** Create an object, configure it with the four initialisers (or the setters), write
/// the PIN file, then call EnrollmentProcess() once to enrol or GetOTPforAuthentication() for
/// each login. A new object's strings are empty and its numbers 0 (enrolment status 0: not
/// enrolled, the enrolment log). It holds no file or connection between calls and may be
/// destroyed after any workflow (a host running the building blocks: destroying it before
/// CheckSeedValueAndPersist() releases the installation's lock as that would).
///
/// **Texts and paths** are `std::string`s of bytes, passed by value (the library keeps its own
/// copy) and returned by value. On Windows the library calls the ANSI file APIs, so paths and
/// texts are in the process's ANSI code page; on Linux they are used as given. Paths are Windows
/// paths (`C:\APP\qmt\GEN\seed.data`, `..\log`); relative ones resolve against the host's
/// working folder. On Linux `\` is read as `/` and `C:\a` as `$QMT_DRIVE_ROOT/C/a`. The strings
/// cross the DLL boundary as `std::string`: build the host with the toolchain that built the
/// library.
///
/// **Files** of an installation:
/// | File | Path | Written by |
/// |---|---|---|
/// | seed (enrolment state) | `C:\APP\qmt\GEN\seed.data` (fixed) | the library |
/// | PIN: its first word | `C:\APP\qmt\GEN\ToolvexPin.txt` (fixed) | the host |
/// | enrolment status | SetEnrollFilePath() | EnrollmentProcess(), on confirmation |
/// | enrolment log | `..\log\SREnrollmentlog.log` | every step, while the status is not 1 |
/// | authentication log | `..\..\..\log\SRAuthenticationlog.log` | every step, status 1 |
///
/// **Log.** Every step appends one entry (time, process id, text) to the log the enrolment
/// status chooses; each entry opens and closes the file, and an entry that cannot be written (a
/// missing folder) is lost silently. PINs, OTPs, the activation code and seeds are written in
/// clear unless the environment holds `QMT_LOG_SECRETS=0` when the library loads; the enrolment
/// message's `secret_code` and the proxy password are never written.
///
/// **Threads and processes.** Use an object from one thread at a time. The SDK context is
/// process-wide, so the workflows of one installation run one at a time: each holds the
/// installation's lock (named after the seed file) from its start to its end, and another
/// workflow, in this process or another, waits for it up to `QMT_LOCK_WAIT_MS` (60 s by
/// default) and then returns 16 without sending anything. The proxy values a workflow uses are
/// kept per thread, so objects on other threads may call MakeCURLRequest() at any time. A host
/// may fork after using the library, but not while another of its threads is inside a call.
///
/// **Results** of every member: QmtSRResults.h (kQmtSRResults, QmtSRResultOf()).
class QMTSR_API QmtSR {
 public:
  /// Releases the installation's lock when this object holds it (a host that ran the building
  /// blocks and never reached CheckSeedValueAndPersist()), which also closes the pooled
  /// connections its span left open; otherwise does nothing. A copy never holds the lock.
  ~QmtSR();

  /// \name Initialisers
  /// Each writes a start banner, stores its values in the order of its parameters through the
  /// setters (with their log lines), and writes an end banner. A standard exception while storing
  /// is logged ("error while ... is: <what>"); the remaining values keep what they had. May be
  /// called again at any time; the last value stored wins.
  ///@{

  /// Stores the workstation's identity, files and service settings (banner "Initializing
  /// Sentrel with below values started"). The enrolment status is stored first, so that this
  /// block is already logged to the log it chooses.
  /// \param uniqueKey workstation key given to the SDK (cut to 64 bytes there); logged
  /// \param seedFilePath the seed path the host configures: an empty file is created there when
  ///   the fixed seed file is missing, and it is deleted when the back end refuses the
  ///   confirmation; the seed itself is always `C:\APP\qmt\GEN\seed.data`
  /// \param enrollFilePath path of the enrolment-status file written on confirmation
  /// \param softwareVersion the host's version, sent to the service as "<version>/0.2.7"
  /// \param serverUrl base URL of the authentication service (`http://` or `https://`)
  /// \param macId the service's mVault id ("macid")
  /// \param enrollmentName the name under which the device is activated
  /// \param timeout handed to the SDK with each request; it bounds nothing (transfers are bounded
  ///   by the library's own stall guard and `QMT_HTTP_TIMEOUT_MS`)
  /// \param otpServiceIndex index into the service list of the enrolment (0: the first service)
  /// \param deviceSerial the device serial given to the SDK (cut to 64 bytes there); logged
  /// \param rrdiCode the workstation's RRDI code, sent with the confirmation
  /// \param enrollmentStatus 1: enrolled (log to the authentication log); -1: an enrolment only
  ///   repeats the confirmation with the stored seed; any other value: not enrolled
  void QmtSRInitialize(std::string uniqueKey, std::string seedFilePath, std::string enrollFilePath,
                       std::string softwareVersion, std::string serverUrl, std::string macId,
                       std::string enrollmentName, int timeout, int otpServiceIndex,
                       std::string deviceSerial, std::string rrdiCode, int enrollmentStatus);
  /// Stores the enrolment back end's URLs (banner "Initializing Enrollment urls started").
  /// \param codeAndOtpUrl the URL that hands out the activation code and the login OTP (stored
  ///   only: EnrollmentProcess() takes it as an argument)
  /// \param checkEnrollmentUrl the URL that confirms the enrolment
  /// \param pdvUrl stored and logged only
  /// \param rlxEnrollInitUrl stored and logged only
  /// \param rlxEnrollActivationUrl stored and logged only
  void InitializeEnrollmenturls(std::string codeAndOtpUrl, std::string checkEnrollmentUrl,
                                std::string pdvUrl, std::string rlxEnrollInitUrl,
                                std::string rlxEnrollActivationUrl);
  /// Stores the BIOS serial number (banner "Initializing QMT parameters started").
  /// \param biosSerialNumber sent with the confirmation of the enrolment
  void InitQMTParameters(std::string biosSerialNumber);
  /// Stores the proxy settings (banner "Initializing Proxy with below values started"); logs the
  /// user, address, port and override, never the password.
  /// \param proxyUser proxy user, sent only when the environment holds `QMT_PROXY_AUTH=1`
  /// \param proxyPassword proxy password, sent only with `QMT_PROXY_AUTH=1`; never logged
  /// \param proxyAddress proxy host name or address; empty: no proxy
  /// \param proxyPort proxy port (0: the port in the address, else libcurl's default)
  /// \param proxyOverride stored only: every request goes through the proxy
  void InitializeProxyParameters(std::string proxyUser, std::string proxyPassword,
                                 std::string proxyAddress, long proxyPort,
                                 std::string proxyOverride);
  ///@}

  /// \name Setters and getters
  /// A setter stores its value (a copy) and, except where said, logs it in one line; it may be
  /// called at any time and takes effect at the next workflow. A getter returns a copy and never
  /// logs. The meaning of each value is given at QmtSRInitialize() and its siblings.
  ///@{

  /// \param value see QmtSRInitialize()'s uniqueKey; logs "Uniquekey: <value>"
  void SetUniquekey(std::string value);
  /// \return the unique key
  std::string GetUniquekey();
  /// \param value see QmtSRInitialize()'s seedFilePath; logs "SentrelSeedFilePath: <value>"
  void SetsentrelSeedFilePath(std::string value);
  /// \return the configured seed file path
  std::string GetsentrelSeedFilePath();
  /// \param value path of the enrolment-status file; logs "Enroll File Path: <value>"
  void SetEnrollFilePath(std::string value);
  /// \return the enrolment-status file path
  std::string GetEnrollFilePath();
  /// \param value the host's software version; logs "Toolvex Software Version: <value>"
  void SetToolvex_Software_Version(std::string value);
  /// \return the host's software version
  std::string GetToolvex_Software_Version();
  /// \param value base URL of the authentication service; logs "Sentrel server url: <value>"
  void Setsentrel_server_url(std::string value);
  /// \return the authentication service's base URL
  std::string Getsentrel_server_url();
  /// \param value the mVault id; logs "Sentrel server macid: <value>"
  void Setsentrel_server_macid(std::string value);
  /// \return the mVault id
  std::string Getsentrel_server_macid();
  /// \param value the activation's device name; logs "Enrollment Name: <value>"
  void SetEnrollmentName(std::string value);
  /// \return the enrolment name
  std::string GetEnrollmentName();
  /// \param value the SDK's request timeout (no effect on transfers); logs "Sentrel server
  ///   timeout: <value>"
  void Setsentrel_server_timeout(int value);
  /// \return the SDK's request timeout
  int Getsentrel_server_timeout();
  /// \param value index of the OTP's service in the enrolment's service list; logs "OTP server
  ///   index: <value>"
  void SetOTP_service_index(int value);
  /// \return the OTP service index
  int GetOTP_service_index();
  /// \param value the device serial; logs "Device serial: <value>"
  void Setdevice_serial(std::string value);
  /// \return the device serial
  std::string Getdevice_serial();
  /// \param value the RRDI code; logs "RRDI Code: <value>"
  void SetRRDICode(std::string value);
  /// \return the RRDI code
  std::string GetRRDICode();
  /// Chooses the log (1: authentication log, else the enrolment log) and what an enrolment does
  /// (-1: only the confirmation); no log line.
  /// \param value the enrolment status, see QmtSRInitialize()
  void SetEnrollmentStatus(int value);
  /// \return the enrolment status; 1 after EnrollmentProcess() returned 1000
  int GetEnrollmentStatus();
  /// \param value the code-and-OTP URL (stored only); logged
  void SetsentrelCodeandOTPurl(std::string value);
  /// \return the code-and-OTP URL
  std::string GetsentrelCodeandOTPurl();
  /// \param value the check-enrolment URL EnrollmentProcess() confirms with; logged
  void SetsentrelCheckEnrollmenturl(std::string value);
  /// \return the check-enrolment URL
  std::string GetsentrelCheckEnrollmenturl();
  /// \param value stored and logged only (no getter)
  void SetgetPDVurl(std::string value);
  /// \param value stored and logged only (no getter)
  void SetRLXEnrollIniturl(std::string value);
  /// \param value stored and logged only (no getter)
  void SetRLXEnrollActivationurl(std::string value);
  /// \param value the BIOS serial number; logged
  void SetBiosSerialNumber(std::string value);
  /// \return the BIOS serial number
  std::string GetBiosSerialNumber();
  /// \param value the proxy user (sent only with `QMT_PROXY_AUTH=1`); not logged
  void Setproxy_user(std::string value);
  /// \return the proxy user
  std::string Getproxy_user();
  /// \param value the proxy password (sent only with `QMT_PROXY_AUTH=1`); never logged
  void Setproxy_password(std::string value);
  /// \return the proxy password
  std::string Getproxy_password();
  /// \param value the proxy's host name or address, empty for none; not logged
  void Sethttp_address(std::string value);
  /// \return the proxy address
  std::string Gethttp_address();
  /// \param value the proxy port; not logged
  void Sethttp_port(long value);
  /// \return the proxy port
  long Gethttp_port();
  /// \param value stored only (no request uses it); not logged
  void Sethttp_proxy_override(std::string value);
  /// \return the proxy override
  std::string Gethttp_proxy_override();
  /// \return always "..\GEN\ToolvexPin.txt": the PIN path, relative to the working folder,
  ///   that EnrollmentProcess() deletes when the back end refuses the confirmation
  std::string GetToolvexPinPath();
  ///@}

  /// \name Log
  ///@{

  /// Appends one entry to the log the enrolment status chooses: a line feed, "[YYYY-MM-DD.
  /// HH:MM:SS] - [pid - N] " and the message as given (not masked). A host may add its own lines.
  /// Never fails: an entry that cannot be written is lost.
  /// \param message the entry's text; line feeds in it stay
  void SRWrapperEnrollmentAuthLogEntry(std::string message);
  ///@}

  /// \name HTTP client
  /// One JSON PUT ("Content-Type: application/json") to the enrolment back end, through the
  /// object's proxy, on the process's pooled connection to that host (inside a workflow or a
  /// building-block span; called on its own, its connection is closed at its end). Writes no log
  /// entry; a failed transfer prints "curl_easy_perform() failed: <reason>" on standard error. The
  /// peer's certificate is verified only with `QMT_TLS_VERIFY=1`. A transfer fails when no
  /// connection is made in 30 s, when less than 1 byte per second arrives for 60 s, or when the
  /// reply exceeds 1 MiB. Results (kQmtSRRequest rows): the HTTP status; 0 when no transfer
  /// completed.
  ///@{

  /// Sends `body` to `url` without HTTP authentication.
  /// \param url the back end's URL
  /// \param body the request body, sent as given
  /// \param[out] reply the reply body up to its first zero byte; left as it was when the
  ///   transfer failed
  /// \return the HTTP status, or 0 when no transfer completed
  long MakeCURLRequest(std::string url, std::string body, std::string& reply);
  /// Sends `body` to `url` with HTTP authentication (libcurl's default, Basic).
  /// \param url the back end's URL
  /// \param body the request body, sent as given
  /// \param userName the back end's user name
  /// \param password the back end's password (never logged)
  /// \param[out] reply the reply body up to its first zero byte; left as it was when the
  ///   transfer failed
  /// \return the HTTP status, or 0 when no transfer completed
  long MakeCURLRequest(std::string url, std::string body, std::string userName,
                       std::string password, std::string& reply);
  ///@}

  /// \name Workflows
  ///@{

  /// Enrols the workstation: the back end's activation code and login OTP, the activation at the
  /// authentication service with the user's PIN, a first OTP from the new seed, and the back
  /// end's confirmation with it. One blocking call (about 11 round trips) that holds the
  /// installation's lock throughout. Write the PIN file first.
  ///
  /// | Result | reached | Meaning for the host |
  /// |---|---|---|
  /// | 1000 | true | confirmed: status file written, the enrolment status is now 1 |
  /// | 1001 | true | confirmed, but the status file could not be written |
  /// | 1002 | true | the seed file cannot be written: nothing activated or sent |
  /// | 16 | as set | another workflow of this installation kept running: nothing sent |
  /// | 0 | as set | the back end could not be reached (stderr says why): nothing else done |
  /// | 0 | true | the confirmation could not be sent: PIN and seed files deleted |
  /// | HTTP status | as set | the back end refused the first request (401: wrong credentials) |
  /// | HTTP status | true | the back end refused the confirmation: PIN and seed files deleted |
  /// | 15 | true | the PIN file gave no PIN or holds a zero byte: nothing sent to the service |
  /// | 1-17, 999 | true | the activation failed with this SDK result (QmtSRResults.h) |
  /// | 200 | true | not confirmed (below) |
  ///
  /// 200: no OTP could be made ("OTP value is empty" in the log), the seed could not be saved
  /// ("Enrollment not confirmed: the seed could not be saved"), or the back end's confirmation
  /// was not "OK". The deleted files are the PIN file at GetToolvexPinPath() and the configured
  /// seed file; the status file is never deleted. A seed is written after the activation and
  /// after the OTP exchange whenever the SDK changed it.
  /// With enrolment status -1 no activation is made: the OTP comes from the stored seed.
  /// An installation whose seed already holds an enrolment returns 14: remove the seed file to
  /// enrol afresh, or use status -1 to repeat only the confirmation.
  /// \param codeAndOtpUrl the back end URL of the activation code and login OTP; a URL containing
  ///   "enrollmentinit" reads the reply members "enrolment_code"/"login_otp", any other
  ///   "enrollment_code"/"login_OTP"
  /// \param enrollmentMessage the host's JSON enrolment message, sent as given; its
  ///   "secret_code" value is masked in the log
  /// \param userName the back end's user name (both requests)
  /// \param password the back end's password (both requests; never logged)
  /// \param[in,out] reached set to true once the first request answered HTTP 200, else left as
  ///   the caller set it (set it to false before the call)
  /// \return 1000 when the enrolment was confirmed, else the table above
  int EnrollmentProcess(std::string codeAndOtpUrl, std::string enrollmentMessage,
                        std::string userName, std::string password, bool& reached);
  /// Makes a login OTP: a new SDK context, the configuration and the stored seed, the online OTP
  /// exchange with the PIN (two requests), and the seed written back when it changed. One
  /// blocking call that holds the installation's lock throughout. Write the PIN file first.
  ///
  /// | Result | Meaning for the host |
  /// |---|---|
  /// | 0 | the OTP is in `otp` (8 characters) |
  /// | 16 | another workflow kept running (nothing sent, no file touched), or NOK:TIMEOUT |
  /// | 14 | not enrolled (no seed or an unknown one), blocked, or service index out of range |
  /// | 15 | PIN refused by the service, or a PIN file holding a zero byte (not sent) |
  /// | 9 | the service no longer knows this device: enrol again |
  /// | 1 | no usable reply: the service could not be reached |
  /// | other 2-17, 999 | the service's refusal (QmtSRResults.h) |
  ///
  /// Reads the seed and PIN files; rewrites the seed file when the exchange changed it (also
  /// after a refusal); creates an empty file at the configured seed path when the seed file is
  /// missing. Logs to the log the enrolment status chooses (set it to 1).
  /// \param[out] otp receives the OTP on result 0; otherwise left as it was
  /// \return 0, or the SDK's result (table above)
  int GetOTPforAuthentication(std::string& otp);
  ///@}

  /// \name Building blocks
  /// The steps the two workflows are made of, for a host that runs them one by one, in the
  /// order CreateSRObject(), SetSRParameters(), GetOTP(), CheckSeedValueAndPersist(), on one
  /// thread. CreateSRObject() (or SetSRParameters()) takes the installation's lock and
  /// CheckSeedValueAndPersist() releases it; a host that never calls it keeps the lock until it
  /// destroys the object. When the lock wait gives up (one line logged), no context is made, no
  /// seed is read, GetOTP() returns 16 and CheckSeedValueAndPersist() writes nothing.
  ///@{

  /// Creates a new SDK context from the device serial and unique key and makes it the
  /// process-wide one (the one it replaces is released: every call that reads it holds the
  /// installation's lock, as this one does). Logs the proxy and the identity.
  /// \return the new context (an opaque handle the host never needs), or null when the lock
  ///   wait gave up
  void* CreateSRObject();
  /// Loads the configuration and the seed (the first word of `C:\APP\qmt\GEN\seed.data`) into
  /// the current context. When that file cannot be opened it creates an empty file at the
  /// configured seed path (only where nothing exists) and loads an empty seed.
  void SetSRParameters();
  /// Runs the online OTP exchange on the current context with the PIN of the PIN file.
  /// \param[out] otp receives the OTP on result 0; otherwise left as it was
  /// \return 0, or the SDK's result as for GetOTPforAuthentication(); 14 without a context
  int GetOTP(std::string& otp);
  /// Writes the current context's seed to `C:\APP\qmt\GEN\seed.data` when the SDK changed it
  /// (replaced atomically, or in place where the folder refuses that; a failure is logged and
  /// the old seed kept), then releases the installation's lock.
  void CheckSeedValueAndPersist();
  /// Reads the PIN: the first word of `C:\APP\qmt\GEN\ToolvexPin.txt`; no log line.
  /// \return the PIN, empty when the file is missing or empty
  std::string GetToolvexpin();
  ///@}

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
