// The enrolment of a workstation: the back end's activation code and login OTP, the SDK's
// activation with the user's PIN, a first OTP from the new seed, and the back end's
// confirmation with that OTP.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "QmtSR.h"
#include "platform/Platform.h"
#include "sdk/SRSdk.h"
#include "wrapper/ProcessState.h"
#include "wrapper/enrollment_results.h"
#include "wrapper/installation_lock.h"
#include "wrapper/json_reply.h"
#include "wrapper/no_context.h"
#include "wrapper/runtime_settings.h"
#include "wrapper/secret_masking.h"
#include "wrapper/stored_files.h"

namespace SRCppWrap {

namespace {

constexpr int kEnrollmentConfirmed = 1000;
constexpr long kHttpOk = 200;

// The mass-enrolment back end and the RLX activation back end name the same two values
// differently; the URL tells them apart.
struct ReplyMemberNames {
  const char* activationCode;
  const char* loginOtp;
  const char* logLine;
};

ReplyMemberNames MemberNamesFor(const std::string& codeAndOtpUrl) {
  if (codeAndOtpUrl.find("enrollmentinit") != std::string::npos) {
    return {"enrolment_code", "login_otp", "for Mass enrollment url read login_otp"};
  }
  return {"enrollment_code", "login_OTP", "for RLX Activation url read login_OTP"};
}

// Built by concatenation, values inserted as they are: the back end expects exactly this text.
std::string CheckEnrollmentBody(const std::string& rrdiCode, const std::string& loginOtp,
                                const std::string& biosSerial, const std::string& otp) {
  return "{\"rrdi_code\":\"" + rrdiCode + "\",\"login\":\"" + loginOtp + "\",\"serial_number\":\"" +
         biosSerial + "\",\"token\":\"" + otp + "\"}";
}

// The text for the log, each secret value in it, in any spelling, shown as "XXXX" when the host
// keeps secrets out of the log.
std::string ForLogMasking(const std::string& text,
                          std::initializer_list<const std::string*> secrets) {
  if (detail::Settings().logSecrets) return text;
  std::vector<std::string> values;
  for (const std::string* secret : secrets) values.push_back(*secret);
  return detail::MaskSecretValues(text, values);
}

// A reply for the log, as above; one that is not a JSON document is withheld whole ("XXXX"):
// the wrapper cannot tell what in it is secret.
std::string ReplyForLog(const std::string& reply,
                        std::initializer_list<const std::string*> secrets) {
  if (detail::Settings().logSecrets || reply.empty()) return reply;
  if (!detail::IsJsonDocument(reply)) return "XXXX";
  return ForLogMasking(reply, secrets);
}

std::string EnrollmentStatusContent(const std::string& loginOtp, const std::string& uniqueKey) {
  return "Enrollment_Status,YES\nOTP Login," + loginOtp + "\nUnique Key," + uniqueKey;
}

}  // namespace

// The exported interface takes its strings by value.
// NOLINTBEGIN(performance-unnecessary-value-param)
int QmtSR::EnrollmentProcess(std::string codeAndOtpUrl, std::string enrollmentMessage,
                             std::string userName, std::string password, bool& reached) {
  // NOLINTEND(performance-unnecessary-value-param)
  // Every path but an activation failure ends here; a confirmed enrolment (its status file
  // written or not) switches the object to the authentication log after this last enrolment
  // line.
  const auto ended = [this](int result) {
    LogBanner("Enrollment Process Ended");
    if (result == kEnrollmentConfirmed || result == detail::kStatusFileNotSavedResult) {
      enrollmentStatus_ = 1;
    }
    return result;
  };

  LogBanner("Enrollment Process Started");
  // Taken before the back end hands out an activation code that giving up would waste; held
  // through the status file.
  const detail::InstallationRelease release(this, [this](const std::string& error) {
    LogLine(detail::kReleaseFailedLine, error.c_str());
  });
  if (!HoldInstallation()) return ended(detail::kInstallationBusyResult);
  if (detail::HasSecretCode(enrollmentMessage)) {
    LogLine(
        "Input message received from EnrollmentModule with secret_code is (secret code hidden) : "
        "%s",
        detail::MaskSecretCode(enrollmentMessage).c_str());
  } else {
    LogLine("Input message received from EnrollmentModule without secret_code is: %s",
            enrollmentMessage.c_str());
  }
  LogLine("Sentrel Code and OTP url : %s", codeAndOtpUrl.c_str());

  std::string reply;
  const long codeStatus =
      MakeCURLRequest(codeAndOtpUrl, enrollmentMessage, userName, password, reply);
  const ReplyMemberNames names = MemberNamesFor(codeAndOtpUrl);
  const std::string activationCode = detail::JsonStringMember(reply, names.activationCode);
  const std::string loginOtp = detail::JsonStringMember(reply, names.loginOtp);
  LogLine("Output received from Sentrel code and OTP url: %s",
          ReplyForLog(reply, {&activationCode, &loginOtp}).c_str());
  if (codeStatus != kHttpOk) {
    LogLine("The response from Sentrel Code and OTP url is: %d", static_cast<int>(codeStatus));
    return ended(static_cast<int>(codeStatus));
  }
  LogLine("The response from Sentrel Code and OTP url is 200");
  reached = true;

  LogLine("%s", names.logLine);
  LogLine("Login OTP: %s", detail::ForLog(loginOtp));

  CreateSRObject();
  SetSRParameters();
  const std::string pin = GetToolvexpin();
  LogLine("Toolvex pin: %s", detail::ForLog(pin));
  // Refused before any exchange could send it, with status -1 as well.
  if (!PinIsSendable(pin)) return ended(detail::kUnsendablePinResult);
  // An enrolment whose seed is not on disk must not be confirmed: the next OTP would fail. After
  // the activation the OTP exchange is skipped too: its OTP could never be sent.
  const auto seedNotSaved = [&ended, this]() {
    LogLine("Enrollment not confirmed: the seed could not be saved");
    return ended(static_cast<int>(kHttpOk));
  };

  // Whether the fixed seed file holds the seed this enrolment activated: a failed confirmation
  // removes it, and only it.
  bool wroteActivatedSeed = false;
  // Status -1: the workstation already holds a seed; only the confirmation is repeated.
  if (enrollmentStatus_ != -1) {
    // The activation uses up the code: it is not started when its seed could not be kept or
    // when no PIN was chosen. Nothing has gone to the service yet.
    if (!platform::CanTakeFile(detail::kSeedFilePath)) {
      LogLine("The seed file %s cannot be written: the activation is not started (result %d)",
              detail::kSeedFilePath, detail::kSeedPlaceMissingResult);
      return ended(detail::kSeedPlaceMissingResult);
    }
    if (pin.empty()) {
      LogLine("The PIN file gave no PIN: the activation is not started (result %d)",
              detail::kUnsendablePinResult);
      return ended(detail::kUnsendablePinResult);
    }
    SRContext* context = detail::Process().context;
    int started = detail::kNoContextResult;
    if (context != nullptr) {
      started = SRActivationStart(context, activationCode.c_str());
      LogLine("SRActivationStart(mVault object,%s)", detail::ForLog(activationCode));
      LogLine("SRActivationStart(mVault object, %s) returned: %d", detail::ForLog(activationCode),
              started);
    }
    if (started != SR_OK) {
      LogLine("SRActivationStart() failed with Error code: %d", started);
      const std::string banner = std::string(32, '=') +
                                 " Enrollment Process Ended with SRActivationStart failure " +
                                 std::string(18, '=');
      LogLine("%s", banner.c_str());
      return started;
    }
    LogLine("SRActivationStart succeeded.");

    const int finalized =
        SRActivationFinalize(context, activationCode.c_str(), pin.c_str(), enrollmentName_.c_str());
    LogLine("SRActivationFinalize(mVault object, %s, %s, %s)", detail::ForLog(activationCode),
            detail::ForLog(pin), enrollmentName_.c_str());
    LogLine("SRActivationFinalize(mVault object, %s, %s, %s) returned: %d",
            detail::ForLog(activationCode), detail::ForLog(pin), enrollmentName_.c_str(),
            finalized);
    if (finalized != SR_OK) {
      LogLine("SRActivationFinalize failed with error code %d", finalized);
      LogBanner("Enrollment Process Ended with SRActivationFinalize failure");
      return finalized;
    }
    LogLine("SRActivationFinalize() succeeded.");
    if (!PersistChangedSeed()) return seedNotSaved();
    wroteActivatedSeed = true;
  }

  std::string otp;
  GetOTP(otp);  // its failures are logged; an empty OTP stops the enrolment below
  if (!PersistChangedSeed()) return seedNotSaved();
  LogLine("seed value persisted");
  if (otp.empty()) {
    LogLine("OTP value is empty");
    return ended(static_cast<int>(kHttpOk));
  }

  LogLine("RRDI Code used in Sentrel Check Enrollment url: %s", rrdiCode_.c_str());
  LogLine("Bios Serial Number used in Sentrel Check Enrollment url: %s", biosSerialNumber_.c_str());
  const std::string checkBody = CheckEnrollmentBody(rrdiCode_, loginOtp, biosSerialNumber_, otp);
  LogLine("Request to Sentrel Check Enrollment url: %s",
          ForLogMasking(checkBody, {&loginOtp, &otp}).c_str());
  // A failed transfer leaves the first reply in place, and the next line shows it again.
  const long checkStatus =
      MakeCURLRequest(sentrelCheckEnrollmenturl_, checkBody, userName, password, reply);
  LogLine("Output received from Sentrel Check Enrollment url: %s",
          ReplyForLog(reply, {&activationCode, &loginOtp, &otp}).c_str());

  if (checkStatus != kHttpOk) {
    LogLine("Request to Sentrel Check Enrollment url failed with error code: %d",
            static_cast<int>(checkStatus));
    std::vector<std::string> toDelete = {GetToolvexPinPath(), sentrelSeedFilePath_};
    // The configured path may name another file than the seed this enrolment activated; left
    // behind, that seed would refuse every later activation of the workstation.
    if (wroteActivatedSeed && sentrelSeedFilePath_ != detail::kSeedFilePath) {
      toDelete.emplace_back(detail::kSeedFilePath);
    }
    if (wroteActivatedSeed) toDelete.emplace_back(detail::kPendingSeedFilePath);
    std::vector<std::pair<std::string, std::string>> notDeleted;  // path, why
    for (const std::string& path : toDelete) {
      std::string why;
      if (!platform::RemoveFileIfPresent(path, why)) notDeleted.emplace_back(path, why);
    }
    LogLine(
        "Request to Sentrel Check Enrollment url failed. so, deleting Toolvexpin file and seed "
        "file. But Enrollment_Status file remains unchanged");
    for (const auto& [path, why] : notDeleted) {
      LogLine("This file could not be deleted: %s: %s", path.c_str(), why.c_str());
    }
    return ended(static_cast<int>(checkStatus));
  }
  if (detail::JsonStringMember(reply, "status") != "OK") return ended(static_cast<int>(kHttpOk));

  LogLine("Request to Sentrel Check Enrollment url succeeded");
  const platform::SaveOutcome status =
      platform::SaveFile(enrollFilePath_, EnrollmentStatusContent(loginOtp, uniquekey_));
  if (!status.saved) {
    LogLine("The enrollment status file could not be saved: %s (result %d)", status.error.c_str(),
            detail::kStatusFileNotSavedResult);
    return ended(detail::kStatusFileNotSavedResult);
  }
  return ended(kEnrollmentConfirmed);
}

}  // namespace SRCppWrap
