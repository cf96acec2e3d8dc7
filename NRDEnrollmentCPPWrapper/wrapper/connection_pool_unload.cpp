// The connection pool's sockets, and the pool at the library's unload. On POSIX the sockets are
// watched so that a process made by fork can drop its parent's, and the pool is released at
// unload: its connections are closed, its memory freed and the reference on libcurl's global state
// given back. A Windows DLL's static objects are destroyed in its detach, under the loader lock,
// where libcurl's global clean-up (it ends Winsock and unloads DLLs) and the pool's clean-up
// (Schannel calls) must not run: at FreeLibrary the pool's sockets are closed directly, so no
// connection outlives the library, and what libcurl allocated for the pool stays behind; at process
// exit nothing is called at all, the system closes and frees everything itself.
#ifdef _WIN32
// clang-format off
#include <winsock2.h>  // before windows.h
#include <windows.h>
// clang-format on

#include <mutex>
#include <set>
#endif

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <set>
#endif

#include "wrapper/connection_pool.h"

namespace SRCppWrap::detail {

#ifdef _WIN32

namespace {

// Built at load, so they outlive the pool, which the first transfer makes.
std::mutex gSocketsLock;
std::set<curl_socket_t> gOpenSockets;  // the pool's sockets libcurl has not closed yet

curl_socket_t OpenSocket(void* /*user*/, curlsocktype /*purpose*/, curl_sockaddr* address) {
  const curl_socket_t sock = ::socket(address->family, address->socktype, address->protocol);
  if (sock != CURL_SOCKET_BAD) {
    const std::lock_guard<std::mutex> lock(gSocketsLock);
    gOpenSockets.insert(sock);
  }
  return sock;
}

int CloseSocket(void* /*user*/, curl_socket_t sock) {
  {
    const std::lock_guard<std::mutex> lock(gSocketsLock);
    gOpenSockets.erase(sock);
  }
  return ::closesocket(sock);
}

bool ProcessIsExiting() {
  using ShutdownInProgress = BOOLEAN(WINAPI*)();
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const FARPROC found =
      ntdll != nullptr ? ::GetProcAddress(ntdll, "RtlDllShutdownInProgress") : nullptr;
  // Without the answer, doing nothing is the choice that is safe in both cases.
  return found == nullptr ||
         reinterpret_cast<ShutdownInProgress>(reinterpret_cast<void (*)()>(found))() != 0;
}

}  // namespace

void WatchPoolSockets(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
}

void DropInheritedSockets() {}  // no fork on Windows

void ReleasePoolAtUnload(const std::vector<CURL*>& /*handles*/,
                         const std::vector<CURLSH*>& /*caches*/, bool /*holdsGlobalState*/) {
  if (ProcessIsExiting()) return;
  // A host thread still inside a transfer holds the lock: waiting here could never end.
  const std::unique_lock<std::mutex> lock(gSocketsLock, std::try_to_lock);
  if (!lock.owns_lock()) return;
  for (const curl_socket_t sock : gOpenSockets) ::closesocket(sock);
  gOpenSockets.clear();
}

#else

namespace {

// Built at load, so they outlive the pool, which the first transfer makes and whose release
// at unload closes sockets.
std::mutex gSocketsLock;
std::set<curl_socket_t> gOpenSockets;  // the pool's sockets libcurl has not closed yet

curl_socket_t OpenSocket(void* /*user*/, curlsocktype /*purpose*/, curl_sockaddr* address) {
  const curl_socket_t sock =
      ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (sock != CURL_SOCKET_BAD) {
    const std::lock_guard<std::mutex> lock(gSocketsLock);
    gOpenSockets.insert(sock);
  }
  return sock;
}

int CloseSocket(void* /*user*/, curl_socket_t sock) {
  {
    const std::lock_guard<std::mutex> lock(gSocketsLock);
    gOpenSockets.erase(sock);
  }
  return ::close(sock);
}

}  // namespace

void WatchPoolSockets(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
}

void DropInheritedSockets() {
  const std::lock_guard<std::mutex> lock(gSocketsLock);
  // A plain close ends only this process's reference: nothing reaches the peer.
  for (const curl_socket_t sock : gOpenSockets) ::close(sock);
  gOpenSockets.clear();
}

void ReleasePoolAtUnload(const std::vector<CURL*>& handles, const std::vector<CURLSH*>& caches,
                         bool holdsGlobalState) {
  for (CURL* curl : handles) curl_easy_cleanup(curl);  // closes the connections a span left
  // A cache still in use (a host thread inside a transfer at exit) keeps libcurl in use too.
  bool released = true;
  for (CURLSH* share : caches) released = curl_share_cleanup(share) == CURLSHE_OK && released;
  if (released && holdsGlobalState) curl_global_cleanup();
}

#endif

}  // namespace SRCppWrap::detail
