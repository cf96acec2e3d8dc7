// sentrel-devserver as an object: tests run it in-process, main.cpp runs it as a program.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "auth_service.h"
#include "backend.h"
#include "control.h"
#include "faults.h"
#include "options.h"
#include "settings.h"
#include "store.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace devserver {

// The paths the server answers (the service's path is fixed by its clients; the others are
// ours). Any PUT path containing "enrollmentinit" is the mass enrolment request.
inline constexpr const char* kServicePath = "/srws/MAC";
inline constexpr const char* kMassEnrolmentPath = "/api/enrollmentinit";
inline constexpr const char* kRlxActivationPath = "/api/rlx/activation";
inline constexpr const char* kCheckEnrolmentPath = "/api/checkenrollment";
inline constexpr const char* kLoginPath = "/login";

class BoundedServer;

class DevServer {
 public:
  explicit DevServer(ServerOptions options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  // Opens the database, loads or makes the RSA keys, reads the settings and binds the port on
  // 127.0.0.1. Returns false with a reason when any of it fails.
  bool open(std::string& error);
  int port() const { return port_; }
  // The bearer token /control/* requests must carry (made at open() unless given).
  const std::string& controlToken() const { return controlToken_; }

  // Answers requests until stop(); call after open().
  void serve();
  // serve() on a thread of its own; returns once requests are accepted.
  void start();
  // Stops serving (from any thread) and waits for a thread made by start().
  void stop();

 private:
  using Handler = Answer (DevServer::*)(const httplib::Request&);
  void addRoutes();
  void respond(const httplib::Request& req, httplib::Response& res, Handler handler,
               const char* contentType);
  void logRequest(const httplib::Request& req, const httplib::Response& res);
  void logLine(const std::string& text);

  Answer service(const httplib::Request& req);
  Answer massEnrolment(const httplib::Request& req);
  Answer rlxActivation(const httplib::Request& req);
  Answer checkEnrolment(const httplib::Request& req);
  Answer login(const httplib::Request& req);
  Answer armFault(const httplib::Request& req);
  Answer listFaults(const httplib::Request& req);
  Answer clearFaults(const httplib::Request& req);
  Answer showSettings(const httplib::Request& req);
  Answer changeSettings(const httplib::Request& req);
  Answer listDevices(const httplib::Request& req);
  Answer showExpectedOtp(const httplib::Request& req);
  Answer clearLoginLocks(const httplib::Request& req);
  Answer showConnections(const httplib::Request& req);

  ServerOptions options_;
  std::unique_ptr<Store> store_;
  std::optional<ServerKeys> keys_;
  Settings settings_;
  FaultBoard faults_;
  std::unique_ptr<AuthService> service_;
  std::unique_ptr<Backend> backend_;
  std::unique_ptr<Control> control_;
  std::string controlToken_;
  std::mutex state_;  // one request at a time touches the store and the settings
  std::mutex log_;
  std::unique_ptr<BoundedServer> http_;
  std::thread thread_;
  int port_ = -1;
};

}  // namespace devserver
