// The login-OTP workflow and the building blocks it shares with the enrolment: the SDK
// context, its configuration, the online OTP exchange, the seed file and the PIN file.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "QmtSR.h"
#include "platform/Platform.h"
#include "sdk/SRSdk.h"
#include "wrapper/ProcessState.h"
#include "wrapper/http_transport.h"
#include "wrapper/installation_lock.h"
#include "wrapper/no_context.h"
#include "wrapper/runtime_settings.h"
#include "wrapper/seed_store.h"
#include "wrapper/stored_files.h"

namespace SRCppWrap {

int QmtSR::GetOTPforAuthentication(std::string& otp) {
  LogBanner("Get OTP for Authentication Started");
  const detail::InstallationRelease release(this, [this](const std::string& error) {
    LogLine(detail::kReleaseFailedLine, error.c_str());
  });
  if (!HoldInstallation()) {
    LogBanner("Get OTP for Authentication Ended");
    return detail::kInstallationBusyResult;
  }
  detail::SetWorkflowProxy({httpAddress_, httpPort_, proxyUser_, proxyPassword_});
  CreateSRObject();
  LogLine("Sentrel Object Created succussfully");
  SetSRParameters();
  LogLine("Sentrel parameters set succussfully");
  const int result = GetOTP(otp);
  LogLine("OTP got with return value: %d", result);
  CheckSeedValueAndPersist();
  LogLine("Seed value persisted");
  LogBanner("Get OTP for Authentication Ended");
  return result;
}

void* QmtSR::CreateSRObject() {
  // Given up: no context is made, so the one another object's exchange uses stays current.
  if (!HoldInstallation()) return nullptr;
  const std::string serial = deviceSerial_;
  const std::string key = uniquekey_;
  const detail::ProxyValues proxy = detail::WorkflowProxy();
  LogLine("Proxy parameters:- address= %s, port= %ld", proxy.address.c_str(), proxy.port);
  LogLine("Sentrel Object created with device serial: %s, unique key: %s", serial.c_str(),
          key.c_str());
  SRContext* context = SRInit(0, serial.c_str(), key.c_str(), detail::SdkTransport, nullptr);
  detail::AdoptContext(context, this);
  LogLine("SRInit(0, %s, %s, callbackfunction, 0)", serial.c_str(), key.c_str());
  LogLine("SRInit returned : mVault object");
  return context;
}

void QmtSR::SetSRParameters() {
  // Given up, here or in CreateSRObject: no seed is read, and GetOTP answers that the
  // installation is busy.
  if (detail::GaveUpOnInstallation(this) || !HoldInstallation()) return;
  const detail::FirstWord seed = detail::ReadSeed();
  LogLine("Read seed value from : %s", sentrelSeedFilePath_.c_str());
  if (!seed.opened && platform::Exists(detail::kSeedFilePath)) {
    LogLine(
        "The seed file exists but cannot be opened (another program holds it without sharing): "
        "the seed is read as empty and no file is created");
  } else if (!seed.opened) {
    LogLine("Seed file doesnot exists. so, created a new empty seed file seed.data.");
    // Only where nothing exists: an existing file or a link there is never emptied or followed.
    platform::CreateEmptyFileIfMissing(sentrelSeedFilePath_);
  } else {
    LogLine("Seed file already exists");
    LogLine("seed data in file: \n%s", detail::ForLog(seed.word));
  }

  // Results are not checked: a refused seed leaves the context unenrolled, which the OTP
  // exchange then reports.
  if (SRContext* context = detail::Process().context) {
    SRHostVersionSet(context, toolvexSoftwareVersion_.c_str());
    SRWsServerSet(context, sentrelServerUrl_.c_str());
    SRWsTimeoutSet(context, sentrelServerTimeout_);
    SRMvaultSet(context, sentrelServerMacid_.c_str());
    SRStorageDataSet(context, seed.word.c_str());
  }
  LogLine("Set Sentrel parameter Toolvex Software Version as: %s", toolvexSoftwareVersion_.c_str());
  LogLine("SRHostVersionSet(mVault object, %s);", toolvexSoftwareVersion_.c_str());
  LogLine("Set Sentrel parameter Sentrel server url: %s", sentrelServerUrl_.c_str());
  LogLine("SRWsServerSet(mVault object, %s);", sentrelServerUrl_.c_str());
  LogLine("Set Sentrel parameter Sentrel server timeout as: %d", sentrelServerTimeout_);
  LogLine("SRWsTimeoutSet(mVault object, %d);", sentrelServerTimeout_);
  LogLine("Set Sentrel parameter Sentrel server macid: %s", sentrelServerMacid_.c_str());
  LogLine("SRMvaultSet(mVault object, %s);", sentrelServerMacid_.c_str());
  LogLine("Set Sentrel parameter Storage Data as: seedinformation");
  LogLine("SRStorageDataSet(mVault object, seedinformation)");
}

int QmtSR::GetOTP(std::string& otp) {
  // Called on its own (a second OTP after the seed was persisted): its exchange is guarded too.
  if (detail::GaveUpOnInstallation(this) || !HoldInstallation()) {
    return detail::kInstallationBusyResult;
  }
  SRContext* context = detail::Process().context;
  LogLine("Trying to get OTP with seed value");
  const int index = otpServiceIndex_;
  const int started = context ? SROnlineOtpStart(context, index) : detail::kNoContextResult;
  LogLine("SROnlineOtpStart(mVault object, %d)", index);
  LogLine("SROnlineOtpStart(mVault object, %d) returned: %d", index, started);
  if (started != SR_OK) {
    LogLine("SROnlineOtpStart failed with return code: %d", started);
    return started;
  }
  LogLine("SROnlineOtpStart succeeded");

  const std::string pin = GetToolvexpin();
  LogLine("Toolvex Pin to get OTP: %s", detail::ForLog(pin));
  if (!PinIsSendable(pin)) return detail::kUnsendablePinResult;
  const int finalized = SROnlineOtpFinalize(context, index, pin.c_str());
  LogLine("SROnlineOtpFinalize(mVault object, %d, %s)", index, detail::ForLog(pin));
  LogLine("SROnlineOtpFinalize(mVault object, %d, %s) returned: %d", index, detail::ForLog(pin),
          finalized);
  if (finalized != SR_OK) {
    LogLine("SROnlineOtpFinalize failed with return code: %d", finalized);
    return finalized;
  }
  LogLine("SROnlineOtpFinalize succeeded");
  const char* value = SROnlineOtpGet(context);
  otp = value != nullptr ? value : "";
  LogLine("OTP value: %s", detail::ForLog(otp));
  return SR_OK;
}

void QmtSR::CheckSeedValueAndPersist() {
  // Outside a held span (called again, or after GetOTP on its own) the lock is taken again before
  // the seed file is touched; an object whose context is not the current one has nothing to
  // write and waits for no one.
  if (!detail::GaveUpOnInstallation(this) &&
      (detail::CurrentContextMadeBy(this) == nullptr || HoldInstallation())) {
    PersistChangedSeed();
  }
  const std::string error = detail::ReleaseInstallation(this);
  if (!error.empty()) LogLine(detail::kReleaseFailedLine, error.c_str());
}

bool QmtSR::PersistChangedSeed() {
  // Only the context this object made: another object's changes are that object's to persist.
  SRContext* context = detail::CurrentContextMadeBy(this);
  const int changed = context ? SRStorageDataChanged(context) : 0;
  LogLine("SRStorageDataChanged(mVault object)");
  LogLine("SRStorageDataChanged(mVault object) returned: %d", changed);
  if (changed == 0) {
    LogLine("Seed value has not changed");
    std::vector<std::string> said;
    detail::CatchUpPendingSeed(said);
    for (const std::string& line : said) LogLine("%s", line.c_str());
    return true;
  }
  LogLine("current seed value in GEN folder: %s", detail::ForLog(detail::ReadSeed().word));
  bool saved = true;
  if (char* state = SRStorageDataGet(context)) {
    const std::string seed = state;
    std::free(state);
    std::vector<std::string> said;
    saved = detail::StoreSeed(seed, said);
    for (const std::string& line : said) LogLine("%s", line.c_str());
  }
  LogLine("New seed value from sentrel: %s", detail::ForLog(detail::ReadSeed().word));
  return saved;
}

// A zero byte cuts the PIN where the SDK reads it, so a damaged PIN file would send a wrong PIN
// at every attempt until the service blocks the device.
bool QmtSR::PinIsSendable(const std::string& pin) {
  if (pin.find('\0') == std::string::npos) return true;
  LogLine("The PIN file holds a zero byte: the PIN is refused and not sent (result %d)",
          detail::kUnsendablePinResult);
  return false;
}

std::string QmtSR::GetToolvexpin() {
  return detail::ReadFirstWord(detail::kPinFilePath, true).word;
}

}  // namespace SRCppWrap
