// The device's side of the service protocol, written for the tests straight on OpenSSL and
// independent of the server's own code, so the two check each other.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <httplib.h>

#include "server.h"

namespace devtest {

using Bytes = std::vector<uint8_t>;

std::string hex(const Bytes& bytes);
Bytes unhex(const std::string& hex);
// Letters and digits kept, space as "+", every other byte "%xx" in lower case.
std::string urlEncode(const std::string& text);
std::string sha256Hex(const std::string& text);
std::string aesEcbHex(const std::string& keyHex, const std::string& dataHex, bool encrypt);
// RSA with e = 17 and OAEP-SHA-256: encryption for the service, and recovery of what the
// service made with its private exponent.
std::string rsaEncryptHex(const Bytes& message, const std::string& modulusHex);
std::string rsaRecoverHex(const std::string& cipherHex, const std::string& modulusHex);
std::string otp(const std::string& k1, int32_t defi, const std::string& secret,
                const std::string& format);

// A parsed reply: the texts of the root's child elements by name, in order.
class Reply {
 public:
  explicit Reply(const std::string& body);
  std::string get(const std::string& name, size_t index = 0) const;
  size_t count(const std::string& name) const;
  std::string err() const { return get("err"); }

 private:
  std::map<std::string, std::vector<std::string>> elements_;
};

// A DevServer on a free port in this process, and a client to talk to it.
class Running {
 public:
  explicit Running(const std::string& dbPath = ":memory:");
  ~Running();

  int port() const { return server_->port(); }
  const std::string& controlToken() const { return server_->controlToken(); }
  // GET of a service request; query is the raw text after "?action=".
  httplib::Result service(const std::string& action, const std::string& query);
  httplib::Result put(const std::string& path, const std::string& body, bool withAuth = true);
  httplib::Result get(const std::string& path);
  httplib::Result remove(const std::string& path);
  // Arms a fault or changes settings through the control endpoint; expects 200.
  void control(const std::string& path, const std::string& json);

 private:
  httplib::Headers headersFor(const std::string& path) const;

  std::unique_ptr<devserver::DevServer> server_;
  std::unique_ptr<httplib::Client> client_;
};

// One device as the library would drive it.
struct Device {
  std::string serial = "SN-0042";
  std::string uniqueKey = "UK 7/x";
  std::string random;
  std::string pin = "2468";
  std::string name = "Bench 3";
  std::string id;
  std::string kfact, ksr, k0, k1, h, challenge;
  int32_t lastSync = 0;
  std::map<int32_t, std::string> secrets;  // plain service secrets (32 hex)
  std::vector<int32_t> acks;               // ids of messages with ack 2
  std::vector<int32_t> services;

  std::string identity() const { return serial + "/" + uniqueKey + "/" + random; }
  std::string pinKey(const std::string& pinText) const {
    return sha256Hex(pinText + ";" + identity()).substr(0, 32);
  }

  // Reads a finalize reply's sync block the way the device does.
  void readSync(const Reply& reply, const std::string& dataKey);
};

// The value of a string member of a flat JSON object, "<absent>" when there is none.
std::string jsonMember(const std::string& body, const std::string& name);

struct Enrolment {
  std::string code;
  std::string login;
};

// The back end's mass enrolment request.
Enrolment enrol(Running& server);

// Each step returns the reply; a follow-up for service secrets runs inside the finalize
// steps when the reply asks for it, and its reply is stored in followUp.
Reply activateSetup(Running& server, Device& device, const std::string& code);
Reply activateFinalize(Running& server, Device& device, const std::string& code,
                       Reply* followUp = nullptr);
Reply otpSetup(Running& server, Device& device, int32_t sid);
// On success otpValue receives the OTP the device computes.
Reply otpFinalize(Running& server, Device& device, int32_t sid, const std::string& pin,
                  std::string* otpValue = nullptr, Reply* followUp = nullptr);

// Enrolment, activation with its follow-up, and the device ready for OTPs.
Device activatedDevice(Running& server, Enrolment* enrolment = nullptr);

}  // namespace devtest
