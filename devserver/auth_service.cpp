#include "auth_service.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "otp.h"
#include "query.h"

namespace devserver {

namespace {

// Longest value any item may have; a 1024-bit RSA block is 256 hex characters.
constexpr size_t kMaxItem = 4096;
constexpr size_t kMaxShortItem = 256;
constexpr int32_t kMaxSecretsPerRequest = 64;
// Pending OTP challenges: several may wait at once, so that a setup sent by anyone who knows a
// device id cannot cancel the device's own; each expires, and a device holds only a few (the
// oldest makes room: a host killed mid-exchange must not lock its device out until expiry).
constexpr int64_t kChallengeLifetimeSeconds = 120;
constexpr size_t kMaxPendingChallenges = 8;

// A request that is not well formed: a missing item, bad hex, an oversized value.
struct BadRequest {
  std::string item;
  std::string reason;
};

// A well-formed request the service refuses with this result text.
struct Refusal {
  std::string result;
};

Answer answer(const Reply& reply, std::string result, int status = 200) {
  return Answer{status, reply.document(), std::move(result)};
}

Answer refusal(const std::string& result) {
  return answer(Reply().add("err", result), result);
}

Answer badRequest(const std::string& item, const std::string& reason, int status = 200) {
  return answer(Reply().add("err", "NOK").warning("BADREQUEST", {item, reason}), "NOK", status);
}

std::string newChallenge() {
  return randomHex32();
}

std::string newDeviceId() {
  const Bytes r = randomBytes(4);
  std::string id = "DV-" + hexEncode(r);
  for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return id;
}

int32_t newDefi() {
  const Bytes r = randomBytes(4);
  const uint32_t v =
      (uint32_t{r[0]} << 24 | uint32_t{r[1]} << 16 | uint32_t{r[2]} << 8 | r[3]) % 999999999u;
  return static_cast<int32_t>(v + 1);
}

// The proof values R0, R1, R2: SHA-256 of challenge ";" k0 ";" and the identity, k1 or the
// PIN text.
std::string proof(const std::string& challenge, const std::string& k0, const std::string& third) {
  return sha256Hex(challenge + ";" + k0 + ";" + third);
}

std::string aesHex(const std::string& keyHex, const std::string& valueHex) {
  const auto key = hexDecode(keyHex);
  const auto value = hexDecode(valueHex);
  if (!key || !value) throw StoreError("a stored key is not hex");
  const auto cipher = aesEcbEncrypt(*key, *value);
  if (!cipher) throw StoreError("a stored key is not a 16-byte AES key");
  return hexEncode(*cipher);
}

bool protocolVersionAccepted(const std::string& version) {
  const size_t slash = version.rfind('/');
  const std::string_view protocol = slash == std::string::npos
                                        ? std::string_view(version)
                                        : std::string_view(version).substr(slash + 1);
  return protocol == kProtocolVersion;
}

}  // namespace

// Typed access to the decoded query items; every failure throws BadRequest naming the item.
class AuthService::Items {
 public:
  explicit Items(std::map<std::string, std::string> items) : items_(std::move(items)) {
    for (const auto& [name, value] : items_) {
      if (value.size() > kMaxItem) throw BadRequest{name, "oversized value"};
    }
  }

  bool has(const std::string& name) const { return items_.count(name) != 0; }

  const std::string& text(const std::string& name, size_t maxLength = kMaxShortItem) const {
    const auto it = items_.find(name);
    if (it == items_.end()) throw BadRequest{name, "missing item"};
    if (it->second.size() > maxLength) throw BadRequest{name, "oversized value"};
    return it->second;
  }

  const std::string& nonEmpty(const std::string& name, size_t maxLength = kMaxShortItem) const {
    const std::string& value = text(name, maxLength);
    if (value.empty()) throw BadRequest{name, "empty value"};
    return value;
  }

  int32_t number(const std::string& name) const {
    const std::string& value = text(name, 16);
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno != 0 || n < INT32_MIN || n > INT32_MAX) {
      throw BadRequest{name, "not a decimal number"};
    }
    return static_cast<int32_t>(n);
  }

  Bytes hex(const std::string& name) const {
    auto bytes = hexDecode(text(name, kMaxItem));
    if (!bytes) throw BadRequest{name, "not hexadecimal"};
    return *bytes;
  }

  // A proof value: 64 hex characters, compared in lower case.
  std::string proofValue(const std::string& name) const {
    const std::string& value = text(name, 64);
    if (value.size() != 64 || !hexDecode(value)) throw BadRequest{name, "not a SHA-256 digest"};
    return toLower(value);
  }

  // Every request but the secrets follow-up carries the client's version: refuse others.
  void checkVersion() const {
    if (!protocolVersionAccepted(text("version"))) throw Refusal{"NOK:VERSION"};
  }

  // The items every request begins with.
  void checkCommon() const {
    text("id");
    text("macid");
    number("lastsync");
  }

 private:
  std::map<std::string, std::string> items_;
};

std::optional<ServerKeys> loadOrCreateKeys(Store& store, int bits, std::string& error) {
  auto load = [&](const char* name) -> std::optional<RsaKey> {
    if (auto pem = store.serverKey(name)) {
      auto key = RsaKey::fromPem(*pem);
      if (!key) error = std::string("the stored key ") + name + " is not an RSA key with e=17";
      return key;
    }
    auto key = RsaKey::generate(bits);
    if (!key) {
      error = "cannot generate an RSA key";
      return std::nullopt;
    }
    store.putServerKey(name, key->toPem());
    return key;
  };
  auto factory = load("factory");
  if (!factory) return std::nullopt;
  auto service = load("service");
  if (!service) return std::nullopt;
  return ServerKeys{*factory, *service};
}

std::optional<std::string> expectedOtp(const Device& device,
                                       const std::map<int32_t, std::string>& secrets) {
  if (device.otp_state != Device::kOtpExpected) return std::nullopt;
  const auto it = secrets.find(device.otp_sid);
  std::string secret = it == secrets.end() ? std::string() : it->second;
  // With a challenge of 0 or less the device uses its stored text as it is: the secret
  // encrypted under its PIN key.
  if (device.otp_defi <= 0 && !secret.empty()) secret = aesHex(device.pin_key, secret);
  return otpCompute(device.k1, device.otp_defi, secret, device.otp_format);
}

Answer AuthService::handle(std::string_view rawQuery) {
  QueryItems parsed = parseQuery(rawQuery);
  const auto action = parsed.items.find("action");
  const auto mode = parsed.items.find("mode");
  const std::string actionText = action == parsed.items.end() ? "" : action->second;
  const std::string modeText = mode == parsed.items.end() ? "" : mode->second;
  try {
    if (!parsed.error.empty()) throw BadRequest{"query", parsed.error};
    const Items items(std::move(parsed.items));
    if (actionText == "ActionSetup") {
      if (modeText == "activate") return setupActivate(items);
      if (modeText == "otp") return setupOtp(items);
    } else if (actionText == "ActionFinalize") {
      if (modeText == "activate") return finalizeActivate(items);
      if (modeText == "otp") return finalizeOtp(items);
      if (modeText == "ms") return finalizeSecrets(items);
    } else {
      return badRequest("action", "unknown action \"" + actionText + "\"", 400);
    }
    return badRequest("mode", "unknown mode \"" + modeText + "\" for " + actionText, 400);
  } catch (const BadRequest& e) {
    return badRequest(e.item, e.reason);
  } catch (const Refusal& e) {
    return refusal(e.result);
  }
}

Answer AuthService::setupActivate(const Items& items) {
  items.checkCommon();
  items.checkVersion();
  auto enrolment = store_.enrolmentByCode(items.nonEmpty("code"));
  if (!enrolment || !enrolment->device_id.empty()) throw Refusal{"NOK:CODE"};

  enrolment->setup_challenge = newChallenge();
  store_.putEnrolment(*enrolment);

  const auto ksr = keys_.factory.privateTransform(keys_.service.modulus());
  if (!ksr) throw StoreError("cannot transform the service key");
  Reply reply;
  reply.add("err", "OK")
      .add("challenge", enrolment->setup_challenge)
      .add("Kfact", hexEncode(keys_.factory.modulus()))
      .add("Ksr", hexEncode(*ksr))
      .add("pinmode", 1)
      .add("needsync", 0)
      .add("prompt_n", 0);
  return answer(reply, "OK");
}

Answer AuthService::finalizeActivate(const Items& items) {
  items.checkCommon();
  items.text("lang");
  const std::string r0 = items.proofValue("R0");
  const std::string r1 = items.proofValue("R1");
  const std::string r2 = items.proofValue("R2");
  items.text("ack");
  const std::string& code = items.nonEmpty("code");
  const std::string& identity = items.nonEmpty("serial", 512);
  const Bytes kma = items.hex("Kma");
  const Bytes pinCipher = items.hex("pin");
  const std::string& name = items.text("name");
  items.checkVersion();

  auto enrolment = store_.enrolmentByCode(code);
  if (!enrolment || !enrolment->device_id.empty()) throw Refusal{"NOK:CODE"};
  if (enrolment->setup_challenge.empty()) throw Refusal{"NOK:STATE"};
  // A challenge answers one finalize only, whatever its outcome.
  const std::string challenge = enrolment->setup_challenge;
  enrolment->setup_challenge.clear();
  store_.putEnrolment(*enrolment);

  // serial "/" unique key "/" device random
  const size_t firstSlash = identity.find('/');
  if (firstSlash == std::string::npos || identity.find('/', firstSlash + 1) == std::string::npos) {
    throw Refusal{"NOK:SN"};
  }
  const auto pinKey = keys_.service.oaepDecrypt(kma);
  if (!pinKey || pinKey->size() != 16) throw Refusal{"NOK:ACCESS"};
  std::string pin;
  if (!pinCipher.empty()) {
    const auto plain = keys_.service.oaepDecrypt(pinCipher);
    if (!plain) throw Refusal{"NOK:ACCESS"};
    pin.assign(plain->begin(), plain->end());
  }
  // The PIN key must be the one this PIN and this identity give.
  if (hexEncode(*pinKey) != sha256Hex32(pin + ";" + identity)) throw Refusal{"NOK:ACCESS"};
  // A new device has neither k0 nor k1 yet, and its finalize proves with the empty PIN text.
  if (r0 != proof(challenge, "", identity) || r1 != proof(challenge, "", "") ||
      r2 != proof(challenge, "", "")) {
    throw Refusal{"NOK:ACCESS"};
  }

  Device device;
  do {
    device.id = newDeviceId();
  } while (store_.device(device.id));
  device.code = code;
  device.identity = identity;
  device.name = name;
  device.pin = pin;
  device.pin_key = hexEncode(*pinKey);
  device.k0 = randomHex32();
  const std::string k1 = randomHex32();
  device.k1 = k1;
  device.h = randomHex32();
  device.created = static_cast<int64_t>(std::time(nullptr));

  Reply reply;
  reply.add("err", "OK")
      .add("K0", aesHex(device.pin_key, device.k0))
      .add("K1", aesHex(device.pin_key, k1))
      .add("H", aesHex(device.pin_key, device.h));
  if (settings_.dk1 != Dk1Mode::Off) {
    const std::string dk1 = randomHex32();
    device.k1 = sha256Hex32(k1 + ";" + dk1);
    reply.add("dK1", dk1);
  }
  addSyncBlock(reply, device);
  askForSecrets(reply, device);

  enrolment->device_id = device.id;
  Store::Transaction transaction(store_);
  store_.putDevice(device);
  store_.putEnrolment(*enrolment);
  transaction.commit();
  return answer(reply, "OK");
}

Device AuthService::knownDevice(const Items& items) {
  auto device = store_.device(items.nonEmpty("id"));
  if (!device) throw Refusal{"NOK:NODEVICE"};
  if (device->blocked) throw Refusal{"NOK_BLOCKED"};
  return *device;
}

void AuthService::checkDeviceProofs(const Items& items, Device& device,
                                    const std::string& challenge) {
  if (items.proofValue("R0") != proof(challenge, device.k0, device.identity) ||
      items.proofValue("R1") != proof(challenge, device.k0, device.k1)) {
    throw Refusal{"NOK:ACCESS"};
  }
  if (items.proofValue("R2") != proof(challenge, device.k0, device.pin)) {
    ++device.pin_failures;
    const bool block = settings_.pin_attempts > 0 && device.pin_failures >= settings_.pin_attempts;
    device.blocked = block;
    store_.putDevice(device);
    throw Refusal{block ? "NOK_BLOCKED" : "NOK:PINREFUSED"};
  }
  device.pin_failures = 0;
}

Answer AuthService::setupOtp(const Items& items) {
  items.checkCommon();
  items.checkVersion();
  const int32_t sid = items.number("sid");
  const Device device = knownDevice(items);
  if (settings_.findService(sid) == nullptr) throw Refusal{"NOK:NOSRV"};

  const auto now = static_cast<int64_t>(std::time(nullptr));
  const auto pending = store_.otpChallenges(device.id, now);  // oldest first
  for (size_t i = 0; i + kMaxPendingChallenges <= pending.size(); ++i) {
    store_.removeOtpChallenge(device.id, pending[i].challenge);
  }
  const OtpChallenge challenge{newChallenge(), sid, now + kChallengeLifetimeSeconds};
  store_.addOtpChallenge(device.id, challenge, now);

  Reply reply;
  reply.add("err", "OK")
      .add("challenge", challenge.challenge)
      .add("pinmode", 1)
      .add("serviceid", sid)
      .add("needsync", 0)
      .add("prompt_n", 0);
  return answer(reply, "OK");
}

Answer AuthService::finalizeOtp(const Items& items) {
  items.checkCommon();
  items.text("lang");
  const std::string& acks = items.text("ack", kMaxItem);
  if (acks.find_first_not_of("0123456789:-") != std::string::npos) {
    throw BadRequest{"ack", "not a list of message ids"};
  }
  const int32_t sid = items.number("sid");
  items.proofValue("R0");
  items.proofValue("R1");
  items.proofValue("R2");
  items.checkVersion();
  Device device = knownDevice(items);
  // The finalize names its challenge only through its proofs: R0 (over k0 and the identity)
  // picks it among the pending ones. A request that proves nothing consumes none of them.
  const std::string r0 = items.proofValue("R0");
  bool forService = false;
  std::string challenge;
  for (const auto& pending :
       store_.otpChallenges(device.id, static_cast<int64_t>(std::time(nullptr)))) {
    if (pending.sid != sid) continue;
    forService = true;
    if (proof(pending.challenge, device.k0, device.identity) == r0) {
      challenge = pending.challenge;
      break;
    }
  }
  if (!forService) throw Refusal{"NOK:STATE"};
  if (challenge.empty()) throw Refusal{"NOK:ACCESS"};
  store_.removeOtpChallenge(device.id, challenge);
  checkDeviceProofs(items, device, challenge);

  for (size_t start = 0; start < acks.size();) {
    size_t end = acks.find(':', start);
    if (end == std::string::npos) end = acks.size();
    if (end > start) device.acked.insert(std::atoi(acks.substr(start, end - start).c_str()));
    start = end + 1;
  }

  Reply reply;
  reply.add("err", "OK");
  if (settings_.dk1 == Dk1Mode::Always) {
    const std::string dk1 = randomHex32();
    device.k1 = sha256Hex32(device.k1 + ";" + dk1);
    reply.add("dK1", dk1);
  }
  addSyncBlock(reply, device);
  device.otp_defi = settings_.defi ? *settings_.defi : newDefi();
  device.otp_format = settings_.otp_format;
  device.otp_sid = sid;
  device.otp_state = Device::kOtpExpected;
  reply.add("defi", device.otp_defi).add("format", device.otp_format).add("serviceid", sid);
  askForSecrets(reply, device);
  store_.putDevice(device);
  return answer(reply, "OK");
}

Answer AuthService::finalizeSecrets(const Items& items) {
  items.checkCommon();
  const int32_t count = items.number("ms_n");
  if (count < 0 || count > kMaxSecretsPerRequest) throw BadRequest{"ms_n", "out of range"};
  struct Item {
    int32_t id;
    Bytes value;
  };
  std::vector<Item> secrets;
  for (int32_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    secrets.push_back({items.number("ms_id" + n), items.hex("ms_val" + n)});
  }
  items.proofValue("R0");
  items.proofValue("R1");
  items.proofValue("R2");
  Device device = knownDevice(items);
  if (device.ms_challenge.empty()) throw Refusal{"NOK:STATE"};
  const std::string challenge = device.ms_challenge;
  const std::vector<int32_t> asked = device.ms_ids;
  device.ms_challenge.clear();
  device.ms_ids.clear();
  store_.putDevice(device);
  checkDeviceProofs(items, device, challenge);

  // Every secret asked for must come back, once, as an RSA-OAEP block of 16 bytes.
  std::map<int32_t, std::string> learnt;
  for (const auto& s : secrets) {
    const bool wasAsked = std::find(asked.begin(), asked.end(), s.id) != asked.end();
    const auto plain = keys_.service.oaepDecrypt(s.value);
    if (!wasAsked || !plain || plain->size() != 16 || learnt.count(s.id) != 0) {
      throw Refusal{"NOK:SYNCHROFAILED"};
    }
    learnt.emplace(s.id, hexEncode(*plain));
  }
  if (learnt.size() != asked.size()) throw Refusal{"NOK:SYNCHROFAILED"};

  Store::Transaction transaction(store_);
  for (const auto& [id, secret] : learnt) store_.putSecret(device.id, id, secret);
  store_.putDevice(device);
  transaction.commit();

  Reply reply;
  reply.add("err", "OK").add("id", device.id).add("connected", settings_.connected);
  return answer(reply, "OK");
}

void AuthService::addSyncBlock(Reply& reply, const Device& device) {
  reply.add("id", device.id);
  if (!settings_.server.empty()) reply.add("server", settings_.server);
  reply.add("connected", settings_.connected);

  reply.add("s_n", static_cast<int64_t>(settings_.services.size()));
  for (const auto& s : settings_.services) {
    reply.add("s_id", s.id)
        .add("s_name", s.name)
        .add("s_icon", s.icon)
        .add("s_secure", s.secure)
        .add("s_ksc", s.ksc)
        .add("s_connected", s.connected)
        .add("s_url", s.url)
        .add("s_pattern", s.pattern);
  }
  reply.add("Tsync", settings_.tsync);

  // A message to acknowledge (ack 2) goes out as acknowledged (ack 1) once the device has
  // listed it, so the device stops listing it.
  reply.add("m_n", static_cast<int64_t>(settings_.messages.size()));
  for (const auto& m : settings_.messages) {
    const bool acked = m.ack == 2 && device.acked.count(m.id) != 0;
    reply.add("m_id", m.id)
        .add("m_title", m.title)
        .add("m_content", m.content)
        .add("m_ack", acked ? 1 : m.ack);
  }
}

void AuthService::askForSecrets(Reply& reply, Device& device) {
  const auto known = store_.secrets(device.id);
  std::vector<int32_t> missing;
  for (const auto& s : settings_.services) {
    if (known.count(s.id) == 0) missing.push_back(s.id);
  }
  if (missing.empty()) return;
  device.ms_challenge = newChallenge();
  device.ms_ids = missing;
  reply.add("ms_n", static_cast<int64_t>(missing.size())).add("challenge", device.ms_challenge);
  for (const int32_t id : missing) {
    // Every service secret travels under key B, its modulus transformed under key A.
    const auto key = keys_.factory.privateTransform(keys_.service.modulus());
    if (!key) throw StoreError("cannot transform the service key");
    reply.add("ms_id", id).add("ms_key", hexEncode(*key));
  }
}

}  // namespace devserver
