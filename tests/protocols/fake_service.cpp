#include "fake_service.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace fake {
namespace {

constexpr char kPathAndAction[] = "/srws/MAC?action=";

struct Keys {
  rsa_test::RsaTestKey fact;    // Kfact: the service's recovery key
  rsa_test::RsaTestKey sr;      // Ksr: receives the PIN and the PIN key
  rsa_test::RsaTestKey secret;  // receives the service secrets ("ms_key")
};

const Keys& SharedKeys() {
  static const Keys keys;
  return keys;
}

Bytes ToBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::string UrlEncode(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) != 0 && c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out += {'%', kDigits[c >> 4], kDigits[c & 0x0F]};
    }
  }
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Decrypts the k-byte blocks of a hex ciphertext with OAEP and joins the messages.
std::string OaepDecryptAll(const rsa_test::RsaTestKey& key, const std::string& hex) {
  Bytes all = rsa_test::FromHex(hex), message;
  if (all.size() % key.Size() != 0) throw std::runtime_error("ciphertext is not whole blocks");
  for (size_t at = 0; at < all.size(); at += key.Size()) {
    std::optional<Bytes> part = key.OaepDecrypt(Bytes(
        all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at + key.Size())));
    if (!part) throw std::runtime_error("OAEP block refused");
    message.insert(message.end(), part->begin(), part->end());
  }
  return std::string(message.begin(), message.end());
}

}  // namespace

std::string Sha256Hex(const std::string& text) {
  return rsa_test::ToHex(rsa_test::Sha256(ToBytes(text)));
}

std::string AesEcbHex(const std::string& plain_hex, const std::string& key_hex, bool encrypt) {
  Bytes in = rsa_test::FromHex(plain_hex), key = rsa_test::FromHex(key_hex);
  Bytes out(in.size() + 16);
  int length = 0, tail = 0;
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  rsa_test::Check(EVP_CipherInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr,
                                    encrypt ? 1 : 0) == 1,
                  "EVP_CipherInit_ex");
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  rsa_test::Check(
      EVP_CipherUpdate(ctx.get(), out.data(), &length, in.data(), static_cast<int>(in.size())) == 1,
      "EVP_CipherUpdate");
  rsa_test::Check(EVP_CipherFinal_ex(ctx.get(), out.data() + length, &tail) == 1,
                  "EVP_CipherFinal_ex");
  out.resize(static_cast<size_t>(length) + static_cast<size_t>(tail));
  return rsa_test::ToHex(out);
}

std::string RandomHex(size_t bytes) {
  Bytes out(bytes);
  rsa_test::Check(RAND_bytes(out.data(), static_cast<int>(bytes)) == 1, "RAND_bytes");
  return rsa_test::ToHex(out);
}

std::string UrlDecode(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); i++) {
    if (value[i] == '+') {
      out.push_back(' ');
    } else if (value[i] == '%' && i + 2 < value.size()) {
      out.push_back(static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(value[i]);
    }
  }
  return out;
}

std::string Markup(const Elements& elements) {
  std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<reply>\n";
  for (const auto& [name, value] : elements)
    body.append("  <")
        .append(name)
        .append(">")
        .append(Escape(value))
        .append("</")
        .append(name)
        .append(">\n");
  return body + "</reply>\n";
}

void Set(Elements& elements, const std::string& name, const std::string& value) {
  for (auto& element : elements) {
    if (element.first == name) {
      element.second = value;
      return;
    }
  }
  elements.emplace_back(name, value);
}

void Remove(Elements& elements, const std::string& name) {
  elements.erase(std::remove_if(elements.begin(), elements.end(),
                                [&](const auto& element) { return element.first == name; }),
                 elements.end());
}

std::string OtpOf(const std::string& k1, int32_t defi, const std::string& secret,
                  const std::string& format) {
  Bytes d = rsa_test::Sha256(ToBytes(k1 + ":" + std::to_string(defi) + ":" + secret));
  auto be32 = [&](size_t at) {
    return uint64_t{d[at]} << 24 | uint64_t{d[at + 1]} << 16 | uint64_t{d[at + 2]} << 8 |
           uint64_t{d[at + 3]};
  };
  uint64_t value = (be32(0) & 0x0FFFFFFF) * 1024 + (be32(4) & 0x3FF);
  if (format == "8LC") {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string out;
    for (int i = 0; i < 8; i++, value /= 36) out.push_back(kAlphabet[value % 36]);
    return out;
  }
  if (format == "8C") {
    char out[16];
    std::snprintf(out, sizeof out, "%08llu", static_cast<unsigned long long>(value & 0x7FFFFF));
    return out;
  }
  return "";
}

std::vector<std::string> Request::Names() const {
  std::vector<std::string> names;
  for (const auto& item : items) names.push_back(item.first);
  return names;
}

std::string Request::Raw(const std::string& name) const {
  for (const auto& item : items)
    if (item.first == name) return item.second;
  return "";
}

Request ParseUrl(const std::string& url) {
  Request r;
  r.url = url;
  size_t marker = url.find(kPathAndAction);
  if (marker == std::string::npos) return r;
  r.base = url.substr(0, marker);
  std::string rest = url.substr(marker + sizeof kPathAndAction - 1);
  size_t amp = rest.find('&');
  r.action = rest.substr(0, amp);
  while (amp != std::string::npos) {
    size_t next = rest.find('&', amp + 1);
    std::string item = rest.substr(amp + 1, next == std::string::npos ? next : next - amp - 1);
    size_t eq = item.find('=');
    r.items.emplace_back(item.substr(0, eq), eq == std::string::npos ? "" : item.substr(eq + 1));
    amp = next;
  }
  return r;
}

Service::Service() {
  SharedKeys();  // keys are made once, before any test measures anything
}

int32_t Service::Transport(const char* url, int32_t /*timeout*/, void* user) {
  auto* service = static_cast<Service*>(user);
  service->requests.push_back(ParseUrl(url));
  size_t index = service->requests.size() - 1;
  service->on_delivery_ = nullptr;
  std::optional<std::string> body = service->Answer(service->requests.back());
  auto overridden = service->overrides_.find(index);
  if (overridden != service->overrides_.end()) {
    body = overridden->second;
  } else if (service->on_delivery_) {
    service->on_delivery_();  // the device now holds what this reply carried
  }
  if (body) SRWsResponseSet(service->ctx_, body->c_str());
  return 0;
}

std::optional<std::string> Service::Answer(const Request& r) {
  EXPECT_EQ(r.base, server_.empty() ? config.base : server_) << r.url;
  std::string mode = r.Value("mode");
  Elements e;
  if (r.action == "ActionSetup" && mode == "activate") {
    e = SetupActivate(r);
  } else if (r.action == "ActionFinalize" && mode == "activate") {
    e = FinalizeActivate(r);
  } else if (r.action == "ActionFinalize" && mode == "ms") {
    e = Secrets(r);
  } else if (r.action == "ActionSetup" && mode == "otp") {
    e = SetupOtp(r);
  } else if (r.action == "ActionFinalize" && mode == "otp") {
    e = FinalizeOtp(r);
  } else {
    ADD_FAILURE() << "unexpected request " << r.url;
    return Markup({{"err", "NOK:STATE"}});
  }
  if (edit) edit(r, e);
  return Markup(e);
}

// mode, id, macid, lastsync and (unless a secrets follow-up) version, then the step's own items.
void Service::CheckCommon(const Request& r, const std::string& mode,
                          const std::vector<std::string>& own_names, bool finalize) const {
  std::vector<std::string> names = {"mode", "id", "macid", "lastsync"};
  if (mode != "ms") names.push_back("version");
  if (finalize && mode != "ms") names.insert(names.end(), {"lang", "R0", "R1", "R2", "ack"});
  if (finalize && mode == "ms") names.insert(names.end(), {"R0", "R1", "R2"});
  names.insert(names.end(), own_names.begin(), own_names.end());
  EXPECT_EQ(r.Names(), names) << r.url;
  EXPECT_EQ(r.Raw("mode"), mode);
  EXPECT_EQ(r.Raw("id"), UrlEncode(device_id_));
  EXPECT_EQ(r.Raw("macid"), UrlEncode(config.mvault));
  EXPECT_EQ(r.Raw("lastsync"), std::to_string(last_sync));
  if (mode != "ms") {
    EXPECT_EQ(r.Raw("version"), UrlEncode(config.version));
  }
  if (finalize && mode != "ms") {
    EXPECT_EQ(r.Raw("lang"), "fr");
    std::string acks;
    for (const MessageEntry& m : device_messages_)
      if (m.ack == 2) acks += std::to_string(m.id) + ":";
    EXPECT_EQ(r.Raw("ack"), acks);
  }
}

void Service::CheckProofs(const Request& r, const std::string& proof_pin) const {
  std::string prefix = challenge + ";" + k0 + ";";
  EXPECT_EQ(r.Raw("R0"), Sha256Hex(prefix + identity)) << r.url;
  EXPECT_EQ(r.Raw("R1"), Sha256Hex(prefix + k1)) << r.url;
  EXPECT_EQ(r.Raw("R2"), Sha256Hex(prefix + proof_pin)) << r.url;
}

// The data the device recovers with Kfact: the key's modulus cut into OAEP-sized chunks, each
// chunk OAEP-encoded and raised to Kfact's private exponent.
std::string Service::RecoverableHex(const rsa_test::RsaTestKey& key) const {
  const rsa_test::RsaTestKey& fact = SharedKeys().fact;
  Bytes modulus = rsa_test::FromHex(key.ModulusHex()), out;
  size_t chunk = fact.Size() - 66;
  for (size_t at = 0; at < modulus.size(); at += chunk) {
    Bytes part(modulus.begin() + static_cast<long>(at),
               modulus.begin() + static_cast<long>(std::min(modulus.size(), at + chunk)));
    Bytes block = fact.ServiceBlock(part);
    out.insert(out.end(), block.begin(), block.end());
  }
  return rsa_test::ToHex(out);
}

Elements Service::SetupActivate(const Request& r) {
  CheckCommon(r, "activate", {"code"}, false);
  EXPECT_EQ(r.Raw("code"), UrlEncode(config.code));
  std::string fresh = "c" + std::to_string(++challenges_) + "-" + RandomHex(8);
  on_delivery_ = [this, fresh] { challenge = fresh; };
  return {{"err", "OK"},
          {"challenge", fresh},
          {"needsync", "1"},
          {"antiphishing", "blue kite"},
          {"Kfact", SharedKeys().fact.ModulusHex()},
          {"Ksr", RecoverableHex(SharedKeys().sr)},
          {"pinmode", std::to_string(config.pin_mode)},
          {"serviceid", "7"},
          {"nopopup", "1"},
          {"prompt_n", "2"},
          {"p_field", "pin"},
          {"p_label", "Your PIN"},
          {"p_hidden", "1"},
          {"p_save", "0"},
          {"p_field", "name"},
          {"p_label", "Device name"},
          {"newversion", "3.1"},
          {"newversionurl", "http://updates.test/3.1"}};
}

void Service::AddSecretsRequest(Elements& e, const std::vector<int32_t>& ids, std::string& next) {
  if (ids.empty()) return;
  next = "m" + std::to_string(++challenges_) + "-" + RandomHex(8);
  e.emplace_back("ms_n", std::to_string(ids.size()));
  e.emplace_back("challenge", next);
  for (int32_t id : ids) {
    e.emplace_back("ms_id", std::to_string(id));
    e.emplace_back("ms_key", RecoverableHex(SharedKeys().secret));
  }
}

Elements Service::FinalizeActivate(const Request& r) {
  CheckCommon(r, "activate", {"code", "serial", "Kma", "pin", "name"}, true);
  EXPECT_EQ(r.Raw("code"), UrlEncode(config.code));
  EXPECT_EQ(r.Raw("serial"), UrlEncode(r.Value("serial")));
  // The service learns who the device is and its PIN from this request.
  identity = r.Value("serial");
  CheckProofs(r, "");
  pin = r.Raw("pin").empty() ? "" : OaepDecryptAll(SharedKeys().sr, r.Raw("pin"));
  std::string kma = OaepDecryptAll(SharedKeys().sr, r.Raw("Kma"));
  pin_key = Sha256Hex(pin + ";" + identity).substr(0, 32);
  EXPECT_EQ(rsa_test::ToHex(ToBytes(kma)), pin_key) << "Kma is not the PIN key";

  std::string new_k0 = RandomHex(16), new_k1 = RandomHex(16);
  Elements e = {{"err", "OK"},
                {"id", config.device_id},
                {"K0", AesEcbHex(new_k0, pin_key, true)},
                {"K1", AesEcbHex(new_k1, pin_key, true)},
                {"H", AesEcbHex(RandomHex(16), pin_key, true)},
                {"J", "j-value"},
                {"K", "k-value"},
                {"connected", "3600"},
                {"Tsync", std::to_string(config.tsync)},
                {"s_n", std::to_string(config.services.size())}};
  if (!config.new_server.empty()) e.emplace_back("server", config.new_server);
  if (!config.dk1.empty()) {
    e.emplace_back("dK1", config.dk1);
    new_k1 = Sha256Hex(new_k1 + ";" + config.dk1).substr(0, 32);
  }
  for (const ServiceEntry& s : config.services) {
    e.emplace_back("s_id", std::to_string(s.id));
    e.emplace_back("s_name", s.name);
  }
  e.emplace_back("m_n", std::to_string(config.messages.size()));
  for (const MessageEntry& m : config.messages) {
    e.emplace_back("m_id", std::to_string(m.id));
    e.emplace_back("m_title", m.title);
    e.emplace_back("m_ack", std::to_string(m.ack));
  }
  std::string next = challenge;
  AddSecretsRequest(e, config.secret_ids, next);
  on_delivery_ = [this, new_k0, new_k1, next] {
    k0 = new_k0;
    k1 = new_k1;
    challenge = next;
    device_id_ = config.device_id;
    server_ = config.new_server.empty() ? server_ : config.new_server;
    last_sync = config.tsync;
    device_messages_ = config.messages;
  };
  return e;
}

Elements Service::Secrets(const Request& r) {
  int32_t n = std::stoi(r.Raw("ms_n"));
  std::vector<std::string> own = {"ms_n"};
  for (int32_t i = 0; i < n; i++) {
    own.push_back("ms_id" + std::to_string(i));
    own.push_back("ms_val" + std::to_string(i));
  }
  CheckCommon(r, "ms", own, true);
  CheckProofs(r, pin);
  for (int32_t i = 0; i < n; i++) {
    int32_t id = std::stoi(r.Raw("ms_id" + std::to_string(i)));
    std::string secret = OaepDecryptAll(SharedKeys().secret, r.Raw("ms_val" + std::to_string(i)));
    EXPECT_EQ(secret.size(), 16u);
    secrets[id] = rsa_test::ToHex(ToBytes(secret));
  }
  return {{"err", "OK"}, {"connected", "60"}};
}

Elements Service::SetupOtp(const Request& r) {
  CheckCommon(r, "otp", {"sid"}, false);
  std::string fresh = "o" + std::to_string(++challenges_) + "-" + RandomHex(8);
  on_delivery_ = [this, fresh] { challenge = fresh; };
  return {{"err", "OK"}, {"challenge", fresh}, {"serviceid", r.Raw("sid")}};
}

// Every OTP reply also renews k0 and k1, so the data key must decrypt them with the PIN.
Elements Service::FinalizeOtp(const Request& r) {
  CheckCommon(r, "otp", {"sid"}, true);
  CheckProofs(r, pin);
  std::string new_k0 = RandomHex(16), new_k1 = RandomHex(16);
  Elements e = {{"err", "OK"},
                {"K0", AesEcbHex(new_k0, pin_key, true)},
                {"K1", AesEcbHex(new_k1, pin_key, true)},
                {"serviceid", r.Raw("sid")},
                {"code", "otp-ready"},
                {"defi", std::to_string(config.defi)},
                {"format", config.format}};
  std::string next = challenge;
  AddSecretsRequest(e, config.otp_secret_ids, next);
  otp_defi_ = config.defi;
  otp_format_ = config.format;
  otp_service_ = std::stoi(r.Raw("sid"));
  on_delivery_ = [this, new_k0, new_k1, next] {
    k0 = new_k0;
    k1 = new_k1;
    challenge = next;
  };
  return e;
}

std::string Service::StoredSecret(int32_t service_id) const {
  auto found = secrets.find(service_id);
  return found == secrets.end() ? "" : AesEcbHex(found->second, pin_key, true);
}

std::string Service::ExpectedOtp() const {
  auto found = secrets.find(otp_service_);
  std::string secret;
  if (found != secrets.end()) secret = otp_defi_ > 0 ? found->second : StoredSecret(otp_service_);
  return OtpOf(k1, otp_defi_, secret, otp_format_);
}

}  // namespace fake
