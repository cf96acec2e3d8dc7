// Under Wine a Windows program starts a native program through CreateProcess with a Z: path
// (Z: is the build machine's root). The native program is not its child: its process id comes
// back through a file, its output goes to files, and it is stopped with the native kill.
#include <windows.h>

#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

#include "workflow_fixture.h"

namespace qmt_e2e {


namespace {

// Runs a native command line through the native shell; waits for it (at most 10 s) or not.
bool RunNative(const std::string& script, bool wait = true) {
  std::string commandLine = "Z:\\bin\\sh -c \"" + script + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const bool started = ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
  if (started && wait) ::WaitForSingleObject(process.hProcess, 10000);
  if (started) ::CloseHandle(process.hThread), ::CloseHandle(process.hProcess);
  return started;
}

std::string FirstLineOf(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  return std::getline(in, line) && in.good() ? line : "";  // a whole line, its end included
}

bool Alive(long pid) {
  return fs::exists("Z:/proc/" + std::to_string(pid));
}

}  // namespace

fs::path MakeServerFolder() {
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = "Z:/tmp/qmt-devserver-" + std::to_string(::GetCurrentProcessId()) +
                            "-" + std::to_string(entropy());
    if (fs::create_directories(folder)) return folder;
  }
  throw std::runtime_error("cannot make the server's folder");
}

std::string ServerPath(const fs::path& path) {
  std::string text = path.generic_string();  // "Z:/tmp/..." -> "/tmp/..."
  return text.size() >= 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':' ? text.substr(2)
                                                                                  : text;
}

long StartServer(const std::vector<std::string>& arguments, const fs::path& errorLog,
                 const fs::path& folder, std::string& firstLine) {
  // The shell writes its own id, then becomes the server; `timeout` bounds a server whose test
  // ended without stopping it.
  std::string script =
      "echo $$ >" + ServerPath(folder / "pid") + "; exec timeout 600 " + SENTREL_DEVSERVER_PATH;
  for (const std::string& argument : arguments) script += " '" + argument + "'";
  script += " >" + ServerPath(folder / "stdout") + " 2>" + ServerPath(errorLog);
  if (!RunNative(script, false)) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string pid;
  while (std::chrono::steady_clock::now() < deadline &&
         ((pid = FirstLineOf(folder / "pid")).empty() ||
          (firstLine = FirstLineOf(folder / "stdout")).empty())) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pid.empty() ? -1 : std::stol(pid);
}

void StopServer(long pid) {
  if (pid <= 0) return;
  RunNative("kill -TERM " + std::to_string(pid));
  for (int waited = 0; waited < 250 && Alive(pid); ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (Alive(pid)) RunNative("kill -KILL " + std::to_string(pid));
}

}  // namespace qmt_e2e
