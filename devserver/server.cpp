#include "server.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "bounded_server.h"
#include "control_token.h"
#include "crypto.h"
#include "json_util.h"
#include "query.h"

namespace devserver {

namespace {

constexpr const char* kXml = "text/xml; charset=utf-8";
constexpr const char* kJson = "application/json";

// What the request log line says about the request being answered on this thread.
struct LogNote {
  std::string detail;  // action and mode of a service request
  std::string result;
};
thread_local LogNote tNote;

bool isLoopback(const std::string& address) {
  return address == "127.0.0.1" || address == "::1" || address == "::ffff:127.0.0.1";
}

std::string serviceDetail(const QueryItems& query) {
  auto item = [&](const char* name) {
    const auto it = query.items.find(name);
    return it == query.items.end() ? std::string("-") : it->second;
  };
  return "action=" + item("action") + " mode=" + item("mode");
}

// The reply a fault puts in place of the real one.
Answer faultAnswer(const Fault& fault, bool service) {
  switch (fault.kind) {
    case FaultKind::Result:
      return Answer{200,
                    service ? Reply().add("err", fault.result).document()
                            : jsonStringObject({{"status", fault.result}}),
                    "fault: " + fault.result};
    case FaultKind::Empty:
      return Answer{200, "", "fault: empty body"};
    case FaultKind::Garbage:
      return Answer{200, "Service confused: this body is neither markup nor JSON.\n",
                    "fault: garbage body"};
    case FaultKind::NoErr:
      return Answer{200, service ? Reply().add("info", "no result").document() : "{}",
                    "fault: no result"};
    case FaultKind::HttpStatus:
      return Answer{fault.status, "fault injected: HTTP " + std::to_string(fault.status) + "\n",
                    "fault: HTTP " + std::to_string(fault.status)};
    case FaultKind::Delay:
      break;
  }
  return Answer{500, "", "fault: unknown"};
}

std::string readFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  ok = static_cast<bool>(in);
  return text.str();
}

}  // namespace

DevServer::DevServer(ServerOptions options)
    : options_(std::move(options)),
      settings_(defaultSettings(static_cast<int64_t>(std::time(nullptr)))) {}

DevServer::~DevServer() {
  stop();
}

bool DevServer::open(std::string& error) {
  if (!options_.config_path.empty()) {
    bool ok = false;
    const std::string config = readFile(options_.config_path, ok);
    if (!ok) {
      error = "cannot read " + options_.config_path;
      return false;
    }
    const std::string problem = applySettingsJson(settings_, config);
    if (!problem.empty()) {
      error = options_.config_path + ": " + problem;
      return false;
    }
  }
  store_ = Store::open(options_.db_path, error);
  if (!store_) return false;
  try {
    keys_ = loadOrCreateKeys(*store_, options_.key_bits, error);
  } catch (const StoreError& e) {
    error = e.what();
  }
  if (!keys_) return false;
  service_ = std::make_unique<AuthService>(*store_, *keys_, settings_);
  backend_ = std::make_unique<Backend>(*store_, settings_);
  control_ = std::make_unique<Control>(*store_, settings_, faults_, backend_->loginGuard());

  controlToken_ = options_.control_token.empty() ? randomHex32() : options_.control_token;
  const std::string tokenPath = controlTokenPath(options_.db_path);
  if (!tokenPath.empty() && !writeControlToken(tokenPath, controlToken_, error)) return false;

  auto logRefusal = [this](int status, const std::string& reason) {
    if (options_.log_requests) logLine("- - -> " + std::to_string(status) + " " + reason);
  };
  if (options_.cert_path.empty()) {
    http_ = std::make_unique<BoundedServer>(options_.limits, logRefusal);
  } else {
    http_ = std::make_unique<BoundedServer>(options_.limits, logRefusal, options_.cert_path,
                                            options_.key_path);
    if (!http_->is_valid()) {
      error = "cannot use the certificate " + options_.cert_path + " and key " + options_.key_path;
      return false;
    }
  }
  addRoutes();

  port_ = options_.port == 0
              ? http_->bind_to_any_port("127.0.0.1")
              : (http_->bind_to_port("127.0.0.1", options_.port) ? options_.port : -1);
  if (port_ <= 0) {
    error = "cannot listen on 127.0.0.1 port " + std::to_string(options_.port);
    return false;
  }
  return true;
}

void DevServer::serve() {
  http_->listen_after_bind();
}

void DevServer::start() {
  thread_ = std::thread([this] { serve(); });
  // Bounded wait: the listening loop starts within milliseconds.
  for (int i = 0; i < 5000 && !http_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void DevServer::stop() {
  if (http_) http_->stop();
  if (thread_.joinable()) thread_.join();
}

void DevServer::addRoutes() {
  auto route = [this](Handler handler, const char* contentType) {
    return [this, handler, contentType](const httplib::Request& req, httplib::Response& res) {
      respond(req, res, handler, contentType);
    };
  };
  http_->Get(kServicePath, route(&DevServer::service, kXml));
  http_->Put(R"(/.*enrollmentinit.*)", route(&DevServer::massEnrolment, kJson));
  http_->Put(kRlxActivationPath, route(&DevServer::rlxActivation, kJson));
  http_->Put(kCheckEnrolmentPath, route(&DevServer::checkEnrolment, kJson));
  http_->Put(kLoginPath, route(&DevServer::login, kJson));
  http_->Put("/control/faults", route(&DevServer::armFault, kJson));
  http_->Get("/control/faults", route(&DevServer::listFaults, kJson));
  http_->Delete("/control/faults", route(&DevServer::clearFaults, kJson));
  http_->Get("/control/settings", route(&DevServer::showSettings, kJson));
  http_->Put("/control/settings", route(&DevServer::changeSettings, kJson));
  http_->Get("/control/devices", route(&DevServer::listDevices, kJson));
  http_->Get("/control/expected-otp", route(&DevServer::showExpectedOtp, kJson));
  http_->Delete("/control/login-locks", route(&DevServer::clearLoginLocks, kJson));
  http_->Get("/control/connections", route(&DevServer::showConnections, kJson));

  http_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    tNote = LogNote{};
    return httplib::Server::HandlerResponse::Unhandled;
  });
  http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) {
      res.set_content("HTTP " + std::to_string(res.status) + "\n", "text/plain");
    }
  });
  http_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, const std::exception_ptr&) {
        res.status = 500;
        res.set_content("internal error\n", "text/plain");
        tNote.result = "internal error";
      });
  if (options_.log_requests) {
    http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      logRequest(req, res);
    });
  }
}

void DevServer::respond(const httplib::Request& req, httplib::Response& res, Handler handler,
                        const char* contentType) {
  const bool isService = req.path == kServicePath;
  const bool isControl = req.path.compare(0, 9, "/control/") == 0;
  if (isControl && !isLoopback(req.remote_addr)) {
    res.status = 403;
    res.set_content("{\"error\":\"the control endpoint serves loopback clients only\"}", kJson);
    tNote.result = "not a loopback client";
    return;
  }
  if (isControl && !bearerMatches(req.get_header_value("Authorization"), controlToken_)) {
    res.status = 401;
    res.set_header("WWW-Authenticate", "Bearer realm=\"sentrel-devserver control\"");
    res.set_content("{\"error\":\"the control endpoint needs its bearer token\"}", kJson);
    tNote.result = "no control token";
    return;
  }
  const QueryItems query = parseQuery(queryOf(req.target));
  if (isService) tNote.detail = serviceDetail(query);

  Answer answer;
  Fault fault;
  bool faulty = false;
  if (!isControl) {
    const auto action = query.items.find("action");
    const auto mode = query.items.find("mode");
    faulty = faults_.take(req.path, action == query.items.end() ? "" : action->second,
                          mode == query.items.end() ? "" : mode->second, fault);
  }
  if (faulty && fault.kind == FaultKind::Delay) {
    std::this_thread::sleep_for(std::chrono::milliseconds(fault.delay_ms));
    faulty = false;
  }
  if (faulty) {
    answer = faultAnswer(fault, isService);
  } else {
    try {
      std::lock_guard<std::mutex> lock(state_);
      answer = (this->*handler)(req);
    } catch (const std::exception& e) {
      answer = Answer{500, isService ? Reply().add("err", "NOK").document() : "{}",
                      std::string("internal error: ") + e.what()};
    }
  }
  res.status = answer.status;
  res.set_content(answer.body, contentType);
  if (answer.status == 401) res.set_header("WWW-Authenticate", "Basic realm=\"sentrel-devserver\"");
  tNote.result = answer.result;
}

void DevServer::logRequest(const httplib::Request& req, const httplib::Response& res) {
  std::string line = req.method + " " + req.path;
  if (!tNote.detail.empty()) line += " " + tNote.detail;
  line += " -> " + std::to_string(res.status);
  if (!tNote.result.empty()) line += " " + tNote.result;
  logLine(line);
}

void DevServer::logLine(const std::string& text) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::lock_guard<std::mutex> lock(log_);
  std::fprintf(stderr, "[%s] %s\n", stamp, text.c_str());
  std::fflush(stderr);
}

Answer DevServer::service(const httplib::Request& req) {
  return service_->handle(queryOf(req.target));
}

Answer DevServer::massEnrolment(const httplib::Request& req) {
  return backend_->codeAndOtp(req.get_header_value("Authorization"), req.body, true);
}

Answer DevServer::rlxActivation(const httplib::Request& req) {
  return backend_->codeAndOtp(req.get_header_value("Authorization"), req.body, false);
}

Answer DevServer::checkEnrolment(const httplib::Request& req) {
  return backend_->checkEnrolment(req.get_header_value("Authorization"), req.body);
}

Answer DevServer::login(const httplib::Request& req) {
  return backend_->login(req.body);
}

Answer DevServer::armFault(const httplib::Request& req) {
  return control_->armFault(req.body);
}

Answer DevServer::listFaults(const httplib::Request&) {
  return control_->listFaults();
}

Answer DevServer::clearFaults(const httplib::Request&) {
  return control_->clearFaults();
}

Answer DevServer::showSettings(const httplib::Request&) {
  return control_->showSettings();
}

Answer DevServer::changeSettings(const httplib::Request& req) {
  return control_->changeSettings(req.body);
}

Answer DevServer::listDevices(const httplib::Request&) {
  return control_->listDevices();
}

Answer DevServer::clearLoginLocks(const httplib::Request&) {
  return control_->clearLoginLocks();
}

Answer DevServer::showConnections(const httplib::Request&) {
  return Answer{200,
                "{\"accepted\":" + std::to_string(http_->acceptedConnections()) +
                    ",\"open\":" + std::to_string(http_->openConnections()) + "}",
                "OK"};
}

Answer DevServer::showExpectedOtp(const httplib::Request& req) {
  const QueryItems query = parseQuery(queryOf(req.target));
  const auto it = query.items.find("device");
  return control_->showExpectedOtp(it == query.items.end() ? "" : it->second);
}

}  // namespace devserver
