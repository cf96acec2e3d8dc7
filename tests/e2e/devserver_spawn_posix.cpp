#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/test_os.h"
#include "workflow_fixture.h"

namespace qmt_e2e {

namespace {

// Reads the first line the child writes on the pipe, waiting at most `millis` for each part.
std::string FirstLine(int fd, int millis) {
  std::string line;
  char buffer[64];
  pollfd readable{fd, POLLIN, 0};
  for (ssize_t n = 1; n > 0 && line.find('\n') == std::string::npos;) {
    n = ::poll(&readable, 1, millis) > 0 ? ::read(fd, buffer, sizeof buffer) : 0;
    if (n > 0) line.append(buffer, static_cast<std::size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

}  // namespace

fs::path MakeServerFolder() {
  return qmt_test::MakeTempFolder("qmt-devserver-");
}

std::string ServerPath(const fs::path& path) {
  return path.string();
}

long StartServer(const std::vector<std::string>& arguments, const fs::path& errorLog,
                 const fs::path& /*folder*/, std::string& firstLine) {
  std::vector<char*> argv{const_cast<char*>(SENTREL_DEVSERVER_PATH)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The server ends with the test process, even when that one crashes; a parent that died
    // before the request took effect is caught by the check right after it.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
    const int err = ::open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out[1], STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    ::execv(SENTREL_DEVSERVER_PATH, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  // A minute: an i386 build's server runs under qemu emulation on a busy machine.
  firstLine = pid > 0 ? FirstLine(out[0], 60000) : "";
  ::close(out[0]);
  return pid > 0 ? pid : -1;
}

void StopServer(long pid) {
  if (pid <= 0) return;
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  for (int waited = 0; waited < 500; ++waited) {
    if (::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(static_cast<pid_t>(pid), SIGKILL);
  ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
}

}  // namespace qmt_e2e
