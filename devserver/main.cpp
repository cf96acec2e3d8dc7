// sentrel-devserver: a local authentication service and enrolment back end.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "control_token.h"
#include "server.h"

int main(int argc, char** argv) {
  devserver::ServerOptions options;
  bool help = false;
  const std::string problem = devserver::parseOptions(argc, argv, options, help);
  if (help || !problem.empty()) {
    if (!problem.empty()) std::fprintf(stderr, "sentrel-devserver: %s\n", problem.c_str());
    std::fputs(devserver::usageText().c_str(), help ? stdout : stderr);
    return help ? 0 : 2;
  }

  // SIGINT and SIGTERM are taken by one waiting thread, never by a signal handler, so the
  // server is stopped from ordinary code. Block them before any thread starts. A shell
  // starts background jobs with SIGINT ignored, which would discard it: restore the default.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  devserver::DevServer server(options);
  std::string error;
  if (!server.open(error)) {
    std::fprintf(stderr, "sentrel-devserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("%d\n", server.port());
  std::fflush(stdout);
  std::fprintf(stderr, "sentrel-devserver: listening on %s://127.0.0.1:%d, database %s\n",
               options.cert_path.empty() ? "http" : "https", server.port(),
               options.db_path.c_str());
  const std::string tokenPath = devserver::controlTokenPath(options.db_path);
  std::fprintf(stderr, "sentrel-devserver: control token %s%s%s\n", server.controlToken().c_str(),
               tokenPath.empty() ? "" : ", also in ", tokenPath.c_str());

  std::thread waiter([&server, &stopSignals] {
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
  });
  server.serve();
  // serve() ends after stop(), or on a listening error; then the waiter still waits. A
  // SIGTERM to the process wakes it, or stays pending (blocked) when it has already returned.
  kill(getpid(), SIGTERM);
  waiter.join();
  std::fprintf(stderr, "sentrel-devserver: stopped\n");
  return 0;
}
