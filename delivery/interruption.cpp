// The signal thread; see interruption.h. sigwait() runs on an ordinary
// thread, so nothing here is restricted to async-signal-safe calls.
#include "delivery/interruption.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

namespace zentrel {
namespace {

std::atomic<int> g_signal{0};
std::atomic<int> g_in_call{0};

sigset_t Interruptions() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

void WaitForSignals() {
  const sigset_t set = Interruptions();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (g_in_call.load() == 0) {
      std::fprintf(stderr, "zentrel-send: %s; no call was up\n", InterruptionText(signal).c_str());
      std::fflush(stderr);
      ::_exit(128 + signal);
    }
    g_signal.store(signal);  // the call runner hangs up and ends the send
  }
}

}  // namespace

void CatchInterruptions() {
  const sigset_t set = Interruptions();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(WaitForSignals).detach();
}

int InterruptingSignal() { return g_signal.load(); }

std::string InterruptionText(int signal) {
  switch (signal) {
    case SIGINT: return "interrupted by SIGINT";
    case SIGTERM: return "interrupted by SIGTERM";
    case SIGHUP: return "interrupted by SIGHUP";
  }
  return "interrupted by signal " + std::to_string(signal);
}

InCall::InCall() { g_in_call.fetch_add(1); }

InCall::~InCall() { g_in_call.fetch_sub(1); }

}  // namespace zentrel
