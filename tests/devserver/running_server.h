// A DevServer on a free loopback port in this process. Tests reach it with plain HTTP for
// what no client would send, and through the SDK itself, the real client, for the protocol.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>

#include "sdk/SRSdk.h"
#include "server.h"
#include "support/sdk_handles.h"

namespace devtest {

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

// The text of a reply element as the SDK's parser reads it ("" when absent).
std::string ReplyText(const std::string& body, const char* name);
// The value of a string member of a flat JSON object ("" when absent).
std::string JsonMember(const std::string& body, const std::string& name);

struct Enrolment {
  std::string code;
  std::string login;
};
// The back end's mass enrolment request.
Enrolment Enrol(Running& server);

// An SDK context whose transport GETs from the running server.
class SdkDevice {
 public:
  explicit SdkDevice(Running& server);
  SRContext* ctx() const { return ctx_.get(); }
  // Activation start and finalize with the PIN "2468"; the first failing result, or 0.
  int32_t Activate(const std::string& code);
  // Both steps of an online OTP exchange for the service at index; the result.
  int32_t Otp(int32_t index);
  int32_t OtpStart(int32_t index) { return SROnlineOtpStart(ctx(), index); }
  int32_t OtpFinalize(int32_t index) { return SROnlineOtpFinalize(ctx(), index, "2468"); }
  std::string OtpText() const;
  // The path and query of the last request sent.
  const std::string& lastRequest() const { return lastRequest_; }

 private:
  static int32_t Transport(const char* url, int32_t timeout, void* user);
  Running& server_;
  ContextPtr ctx_;
  std::string lastRequest_;
};

}  // namespace devtest
