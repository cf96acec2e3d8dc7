#include "store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

namespace devserver {

namespace {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS server_keys (
  name TEXT PRIMARY KEY,
  pem TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS enrolments (
  code TEXT PRIMARY KEY,
  login_otp TEXT NOT NULL UNIQUE,
  kind TEXT NOT NULL,
  message TEXT NOT NULL,
  created INTEGER NOT NULL,
  setup_challenge TEXT NOT NULL,
  device_id TEXT NOT NULL,
  confirmed INTEGER NOT NULL,
  rrdi_code TEXT NOT NULL,
  serial_number TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS devices (
  id TEXT PRIMARY KEY,
  code TEXT NOT NULL,
  identity TEXT NOT NULL,
  name TEXT NOT NULL,
  pin TEXT NOT NULL,
  pin_key TEXT NOT NULL,
  k0 TEXT NOT NULL,
  k1 TEXT NOT NULL,
  h TEXT NOT NULL,
  blocked INTEGER NOT NULL,
  pin_failures INTEGER NOT NULL,
  otp_challenge TEXT NOT NULL,
  otp_challenge_sid INTEGER NOT NULL,
  ms_challenge TEXT NOT NULL,
  ms_ids TEXT NOT NULL,
  acked TEXT NOT NULL,
  otp_defi INTEGER NOT NULL,
  otp_format TEXT NOT NULL,
  otp_sid INTEGER NOT NULL,
  otp_state INTEGER NOT NULL,
  created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS otp_challenges (
  device_id TEXT NOT NULL,
  challenge TEXT NOT NULL,
  service_id INTEGER NOT NULL,
  expires INTEGER NOT NULL,
  PRIMARY KEY (device_id, challenge));
CREATE TABLE IF NOT EXISTS service_secrets (
  device_id TEXT NOT NULL,
  service_id INTEGER NOT NULL,
  secret TEXT NOT NULL,
  PRIMARY KEY (device_id, service_id));
)sql";

// One prepared statement; binds by position from 1, reads columns from 0.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail();
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(const std::string& text) {
    if (sqlite3_bind_text(stmt_, ++index_, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
      fail();
    }
    return *this;
  }
  Statement& bind(int64_t number) {
    if (sqlite3_bind_int64(stmt_, ++index_, number) != SQLITE_OK) fail();
    return *this;
  }

  // true while a row is available.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) fail();
    return false;
  }

  std::string text(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    return p == nullptr ? std::string()
                        : std::string(reinterpret_cast<const char*>(p),
                                      static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  int64_t int64(int column) const { return sqlite3_column_int64(stmt_, column); }
  int32_t int32(int column) const { return sqlite3_column_int(stmt_, column); }

 private:
  [[noreturn]] void fail() { throw StoreError(std::string("database: ") + sqlite3_errmsg(db_)); }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int index_ = 0;
};

template <typename Container>
std::string joinIds(const Container& ids, char separator) {
  std::string out;
  for (const int32_t id : ids) {
    if (!out.empty()) out.push_back(separator);
    out += std::to_string(id);
  }
  return out;
}

std::vector<int32_t> splitIds(const std::string& text, char separator) {
  std::vector<int32_t> out;
  std::stringstream in(text);
  std::string piece;
  while (std::getline(in, piece, separator)) {
    if (!piece.empty()) out.push_back(static_cast<int32_t>(std::stol(piece)));
  }
  return out;
}

const char* const kEnrolmentColumns =
    "code, login_otp, kind, message, created, setup_challenge, device_id, confirmed, rrdi_code, "
    "serial_number";

Enrolment readEnrolment(const Statement& s) {
  Enrolment e;
  e.code = s.text(0);
  e.login_otp = s.text(1);
  e.kind = s.text(2);
  e.message = s.text(3);
  e.created = s.int64(4);
  e.setup_challenge = s.text(5);
  e.device_id = s.text(6);
  e.confirmed = s.int32(7) != 0;
  e.rrdi_code = s.text(8);
  e.serial_number = s.text(9);
  return e;
}

const char* const kDeviceColumns =
    "id, code, identity, name, pin, pin_key, k0, k1, h, blocked, pin_failures, otp_challenge, "
    "otp_challenge_sid, ms_challenge, ms_ids, acked, otp_defi, otp_format, otp_sid, otp_state, "
    "created";

Device readDevice(const Statement& s) {
  Device d;
  d.id = s.text(0);
  d.code = s.text(1);
  d.identity = s.text(2);
  d.name = s.text(3);
  d.pin = s.text(4);
  d.pin_key = s.text(5);
  d.k0 = s.text(6);
  d.k1 = s.text(7);
  d.h = s.text(8);
  d.blocked = s.int32(9) != 0;
  d.pin_failures = s.int32(10);
  d.ms_challenge = s.text(13);
  d.ms_ids = splitIds(s.text(14), ',');
  const auto acked = splitIds(s.text(15), ',');
  d.acked.insert(acked.begin(), acked.end());
  d.otp_defi = s.int32(16);
  d.otp_format = s.text(17);
  d.otp_sid = s.int32(18);
  d.otp_state = s.int32(19);
  d.created = s.int64(20);
  return d;
}

}  // namespace

std::unique_ptr<Store> Store::open(const std::string& path, std::string& error) {
  // PINs and service secrets are kept in clear: the file is for its owner only. SQLite gives
  // its journal and WAL files the database file's mode.
  if (path != ":memory:") {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
      error = "cannot create database " + path + " with mode 0600";
      if (fd >= 0) ::close(fd);
      return nullptr;
    }
    ::close(fd);
  }
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    error = "cannot open database " + path + ": " +
            (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<Store> store(new Store(db));
  try {
    sqlite3_busy_timeout(db, 2000);
    store->exec(kSchema);
  } catch (const StoreError& e) {
    error = "cannot prepare database " + path + ": " + e.what();
    return nullptr;
  }
  return store;
}

Store::~Store() {
  sqlite3_close(db_);
}

void Store::exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw StoreError("database: " + text);
  }
}

std::optional<std::string> Store::serverKey(const std::string& name) {
  Statement s(db_, "SELECT pem FROM server_keys WHERE name = ?");
  s.bind(name);
  if (!s.step()) return std::nullopt;
  return s.text(0);
}

void Store::putServerKey(const std::string& name, const std::string& pem) {
  Statement s(db_, "INSERT OR REPLACE INTO server_keys (name, pem) VALUES (?, ?)");
  s.bind(name).bind(pem).step();
}

std::optional<Enrolment> Store::enrolmentByCode(const std::string& code) {
  Statement s(
      db_,
      (std::string("SELECT ") + kEnrolmentColumns + " FROM enrolments WHERE code = ?").c_str());
  s.bind(code);
  if (!s.step()) return std::nullopt;
  return readEnrolment(s);
}

std::optional<Enrolment> Store::enrolmentByLogin(const std::string& login_otp) {
  Statement s(db_,
              (std::string("SELECT ") + kEnrolmentColumns + " FROM enrolments WHERE login_otp = ?")
                  .c_str());
  s.bind(login_otp);
  if (!s.step()) return std::nullopt;
  return readEnrolment(s);
}

void Store::putEnrolment(const Enrolment& e) {
  Statement s(db_, (std::string("INSERT OR REPLACE INTO enrolments (") + kEnrolmentColumns +
                    ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .c_str());
  s.bind(e.code)
      .bind(e.login_otp)
      .bind(e.kind)
      .bind(e.message)
      .bind(e.created)
      .bind(e.setup_challenge)
      .bind(e.device_id)
      .bind(int64_t{e.confirmed ? 1 : 0})
      .bind(e.rrdi_code)
      .bind(e.serial_number)
      .step();
}

std::optional<Device> Store::device(const std::string& id) {
  Statement s(db_,
              (std::string("SELECT ") + kDeviceColumns + " FROM devices WHERE id = ?").c_str());
  s.bind(id);
  if (!s.step()) return std::nullopt;
  return readDevice(s);
}

std::vector<Device> Store::devices() {
  Statement s(db_, (std::string("SELECT ") + kDeviceColumns +
                    " FROM devices ORDER BY created DESC, rowid DESC")
                       .c_str());
  std::vector<Device> out;
  while (s.step()) out.push_back(readDevice(s));
  return out;
}

void Store::putDevice(const Device& d) {
  Statement s(db_, (std::string("INSERT OR REPLACE INTO devices (") + kDeviceColumns +
                    ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .c_str());
  s.bind(d.id)
      .bind(d.code)
      .bind(d.identity)
      .bind(d.name)
      .bind(d.pin)
      .bind(d.pin_key)
      .bind(d.k0)
      .bind(d.k1)
      .bind(d.h)
      .bind(int64_t{d.blocked ? 1 : 0})
      .bind(int64_t{d.pin_failures})
      .bind(std::string())  // otp_challenge, otp_challenge_sid: now in otp_challenges
      .bind(int64_t{0})
      .bind(d.ms_challenge)
      .bind(joinIds(d.ms_ids, ','))
      .bind(joinIds(d.acked, ','))
      .bind(int64_t{d.otp_defi})
      .bind(d.otp_format)
      .bind(int64_t{d.otp_sid})
      .bind(int64_t{d.otp_state})
      .bind(d.created)
      .step();
}

std::vector<OtpChallenge> Store::otpChallenges(const std::string& device_id, int64_t now) {
  Statement s(db_,
              "SELECT challenge, service_id, expires FROM otp_challenges "
              "WHERE device_id = ? AND expires > ? ORDER BY expires, rowid");
  s.bind(device_id).bind(now);
  std::vector<OtpChallenge> out;
  while (s.step()) out.push_back(OtpChallenge{s.text(0), s.int32(1), s.int64(2)});
  return out;
}

void Store::addOtpChallenge(const std::string& device_id, const OtpChallenge& challenge,
                            int64_t now) {
  Statement expired(db_, "DELETE FROM otp_challenges WHERE device_id = ? AND expires <= ?");
  expired.bind(device_id).bind(now).step();
  Statement s(db_,
              "INSERT INTO otp_challenges (device_id, challenge, service_id, expires) "
              "VALUES (?, ?, ?, ?)");
  s.bind(device_id).bind(challenge.challenge).bind(int64_t{challenge.sid}).bind(challenge.expires);
  s.step();
}

void Store::removeOtpChallenge(const std::string& device_id, const std::string& challenge) {
  Statement s(db_, "DELETE FROM otp_challenges WHERE device_id = ? AND challenge = ?");
  s.bind(device_id).bind(challenge).step();
}

std::map<int32_t, std::string> Store::secrets(const std::string& device_id) {
  Statement s(db_, "SELECT service_id, secret FROM service_secrets WHERE device_id = ?");
  s.bind(device_id);
  std::map<int32_t, std::string> out;
  while (s.step()) out.emplace(s.int32(0), s.text(1));
  return out;
}

void Store::putSecret(const std::string& device_id, int32_t service_id, const std::string& secret) {
  Statement s(db_,
              "INSERT OR REPLACE INTO service_secrets (device_id, service_id, secret) "
              "VALUES (?, ?, ?)");
  s.bind(device_id).bind(int64_t{service_id}).bind(secret).step();
}

Store::Transaction::Transaction(Store& store) : store_(store) {
  store_.exec("BEGIN IMMEDIATE");
}

Store::Transaction::~Transaction() {
  if (!open_) return;
  try {
    store_.exec("ROLLBACK");
  } catch (const StoreError&) {
    // Nothing more can be done from a destructor; the next BEGIN reports the state.
  }
}

void Store::Transaction::commit() {
  store_.exec("COMMIT");
  open_ = false;
}

}  // namespace devserver
