// Starting and stopping the sentrel-devserver program for a test. The server is a program of
// the build machine: a POSIX test forks it; a Windows test under Wine starts it through Wine's
// passage to native programs and hands it paths of the build machine.
#ifndef QMT_TESTS_E2E_DEVSERVER_SPAWN_H
#define QMT_TESTS_E2E_DEVSERVER_SPAWN_H

#include <filesystem>
#include <string>
#include <vector>

namespace qmt_e2e {

// A new empty folder for one server, reachable by the server under ServerPath().
std::filesystem::path MakeServerFolder();
// A path of this program's file system as the server program names it.
std::string ServerPath(const std::filesystem::path& path);
// Starts the server with `arguments`, its standard error going to `errorLog`; waits at most
// 20 s for the first line of its standard output (the port). Returns its process id, or -1.
long StartServer(const std::vector<std::string>& arguments, const std::filesystem::path& errorLog,
                 const std::filesystem::path& folder, std::string& firstLine);
// Ends it: SIGTERM, then SIGKILL if it has not ended within 5 s.
void StopServer(long pid);

}  // namespace qmt_e2e

#endif
