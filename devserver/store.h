// The service's memory: its RSA keys, the enrolments the back end handed out, the activated
// devices with their keys and pending exchanges, and the service secrets the devices sent.
// Everything lives in one SQLite database so that a restart keeps every enrolment.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace devserver {

struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One code-and-OTP request of the back end and what became of it.
struct Enrolment {
  std::string code;       // the activation code
  std::string login_otp;  // identifies the enrolment in the check-enrolment request
  std::string kind;       // "mass" or "rlx": which request made it
  std::string message;    // the host's enrolment message as received
  int64_t created = 0;
  std::string setup_challenge;  // of the last activation setup; consumed by the finalize
  std::string device_id;        // set once the code activated a device; the code is then spent
  bool confirmed = false;       // the check-enrolment request accepted the device's OTP
  std::string rrdi_code;        // as sent by the confirming check-enrolment request
  std::string serial_number;
};

// An activated device.
struct Device {
  std::string id;
  std::string code;      // the activation code it used
  std::string identity;  // serial "/" unique key "/" device random
  std::string name;
  std::string pin;
  std::string pin_key;  // 32 hex: first half of SHA-256(PIN ";" identity)
  std::string k0;       // 32 hex
  std::string k1;       // 32 hex, after any diversification the device was told of
  std::string h;        // 32 hex
  bool blocked = false;
  int32_t pin_failures = 0;  // wrong PINs in a row
  // Pending secrets follow-up: its challenge and the services whose secrets were asked for.
  std::string ms_challenge;
  std::vector<int32_t> ms_ids;
  std::set<int32_t> acked;  // message ids the device acknowledged
  // The last successful OTP exchange: the values the device computes its OTP from.
  int32_t otp_defi = 0;
  std::string otp_format;
  int32_t otp_sid = 0;
  int32_t otp_state = 0;  // kOtpNone, kOtpExpected or kOtpUsed
  int64_t created = 0;

  static constexpr int32_t kOtpNone = 0;
  static constexpr int32_t kOtpExpected = 1;
  static constexpr int32_t kOtpUsed = 2;
};

// A challenge an "otp" ActionSetup handed out, waiting for its finalize.
struct OtpChallenge {
  std::string challenge;
  int32_t sid = 0;
  int64_t expires = 0;  // seconds since the epoch
};

class Store {
 public:
  // Opens (creating when needed) the database at path; ":memory:" keeps it in memory.
  static std::unique_ptr<Store> open(const std::string& path, std::string& error);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  std::optional<std::string> serverKey(const std::string& name);
  void putServerKey(const std::string& name, const std::string& pem);

  std::optional<Enrolment> enrolmentByCode(const std::string& code);
  std::optional<Enrolment> enrolmentByLogin(const std::string& login_otp);
  void putEnrolment(const Enrolment& enrolment);

  std::optional<Device> device(const std::string& id);
  std::vector<Device> devices();  // newest first
  void putDevice(const Device& device);

  // The device's pending OTP challenges that have not expired at `now`, oldest first.
  std::vector<OtpChallenge> otpChallenges(const std::string& device_id, int64_t now);
  // Adds one, forgetting the device's expired ones.
  void addOtpChallenge(const std::string& device_id, const OtpChallenge& challenge, int64_t now);
  void removeOtpChallenge(const std::string& device_id, const std::string& challenge);

  std::map<int32_t, std::string> secrets(const std::string& device_id);
  void putSecret(const std::string& device_id, int32_t service_id, const std::string& secret);

  // All writes between begin() and commit() land together; a Transaction not committed
  // rolls back when it goes out of scope.
  class Transaction {
   public:
    explicit Transaction(Store& store);
    ~Transaction();
    void commit();

   private:
    Store& store_;
    bool open_ = true;
  };

 private:
  explicit Store(sqlite3* db) : db_(db) {}
  void exec(const char* sql);
  sqlite3* db_;
};

}  // namespace devserver
