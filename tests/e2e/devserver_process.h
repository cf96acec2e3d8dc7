// sentrel-devserver as a child process for one test: a fresh database in its own temporary
// folder, a free loopback port, and a stop by PID when the test ends.
#ifndef QMT_TESTS_E2E_DEVSERVER_PROCESS_H
#define QMT_TESTS_E2E_DEVSERVER_PROCESS_H

#include <filesystem>
#include <string>

namespace qmt_e2e {

class DevServerProcess {
 public:
  DevServerProcess();   // throws when the server does not announce its port within 20 s
  ~DevServerProcess();  // SIGTERM, then SIGKILL if it has not ended within 5 s
  DevServerProcess(const DevServerProcess&) = delete;
  DevServerProcess& operator=(const DevServerProcess&) = delete;

  int port() const { return port_; }
  std::string url(const std::string& path = "") const;
  std::string massEnrolmentUrl() const { return url("/api/enrollmentinit"); }
  std::string rlxActivationUrl() const { return url("/api/rlx/activation"); }
  std::string checkEnrolmentUrl() const { return url("/api/checkenrollment"); }

  // Arms a fault through the control endpoint (a JSON object as the server documents it).
  void ArmFault(const std::string& faultJson) const;
  // The server's login check: the "status" member of its answer ("OK" when accepted).
  std::string Login(const std::string& device, const std::string& otp) const;
  // The request log the server wrote to its standard error so far.
  std::string RequestLog() const;

 private:
  void Stop();

  std::filesystem::path folder_;
  long pid_ = -1;
  int port_ = 0;
};

}  // namespace qmt_e2e

#endif
