// A DevServer on a free loopback port in this process, reached with plain HTTP and through
// the SDK itself.
#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>

#include "sdk/SRSdk.h"
#include "server.h"
#include "support/sdk_handles.h"

namespace devtest {

class Running {
 public:
  explicit Running(const std::string& dbPath = ":memory:",
                   const std::function<void(devserver::ServerOptions&)>& adjust = {});
  ~Running() { server_->stop(); }

  int port() const { return server_->port(); }
  const std::string& controlToken() const { return server_->controlToken(); }
  // GET of a service request; query is the raw text after "?action=".
  httplib::Result service(const std::string& action, const std::string& query) {
    return get("/srws/MAC?action=" + action + query);
  }
  // /control/ requests carry the bearer token; other PUTs the back end's credentials.
  httplib::Result put(const std::string& path, const std::string& body, bool withAuth = true);
  httplib::Result get(const std::string& path) { return client_->Get(path, headersFor(path)); }
  httplib::Result remove(const std::string& path) {
    return client_->Delete(path, headersFor(path));
  }
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

std::string Enrol(Running& server);  // the code of a mass enrolment request

// An SDK context whose transport GETs from the running server; its PIN is "2468".
class SdkDevice {
 public:
  explicit SdkDevice(Running& server);
  SRContext* ctx() const { return ctx_.get(); }
  int32_t Activate(const std::string& code);  // the first failing result, or 0
  int32_t Otp(int32_t index) {
    const int32_t started = OtpStart(index);
    return started != SR_OK ? started : OtpFinalize(index);
  }
  int32_t OtpStart(int32_t index) { return SROnlineOtpStart(ctx(), index); }
  int32_t OtpFinalize(int32_t index) { return SROnlineOtpFinalize(ctx(), index, "2468"); }
  std::string OtpText() const;
  const std::string& lastRequest() const { return lastRequest_; }  // its path and query

 private:
  static int32_t Transport(const char* url, int32_t timeout, void* user);
  Running& server_;
  ContextPtr ctx_;
  std::string lastRequest_;
};

}  // namespace devtest
