// StopCall and UninitTelephony, one thread at a time. A thread that finds
// another in teardown does not wait (that one may be stopping the link and
// waiting for this very thread): it leaves its request, and the thread in
// teardown runs it before leaving. Nested requests on the running thread go
// straight through and meet the re-entry guards.
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "seriallink/trace.h"
#include "telephony/line_service.h"
#include "telephony/telephony.h"

namespace zentrel {

int RunTeardown(CTelephony* via, unsigned kind);

namespace {
constexpr unsigned kStop = 1;
constexpr unsigned kUninit = 2;

std::mutex g_teardown;
std::atomic<std::thread::id> g_teardown_owner{};
std::atomic<unsigned> g_pending{0};

// Runs what others left behind, for as long as there is some and the
// teardown is free.
void RunPending() {
  while (g_pending.load() != 0 && g_teardown.try_lock()) {
    g_teardown_owner = std::this_thread::get_id();
    const unsigned work = g_pending.exchange(0);
    CTelephony* current = g_pTelephony.load();
    if (current != nullptr && (work & kStop)) RunTeardown(current, kStop);
    if (current != nullptr && (work & kUninit)) RunTeardown(current, kUninit);
    g_teardown_owner = std::thread::id();
    g_teardown.unlock();
  }
}

int Serialised(CTelephony* via, unsigned kind) {
  if (g_teardown_owner.load() == std::this_thread::get_id()) return RunTeardown(via, kind);
  int result = 1;
  if (g_teardown.try_lock()) {
    g_teardown_owner = std::this_thread::get_id();
    result = RunTeardown(via, kind);
    g_teardown_owner = std::thread::id();
    g_teardown.unlock();
  } else {
    g_pending.fetch_or(kind);
  }
  RunPending();
  return result;
}
}  // namespace

int RunTeardown(CTelephony* via, unsigned kind) {
  return kind == kStop ? via->StopCallNow() : via->UninitNow();
}

int CTelephony::StopCall() { return Serialised(this, kStop); }

int CTelephony::UninitTelephony() { return Serialised(this, kUninit); }

int CTelephony::StopCallNow() {
  if (m_pSerialLink != nullptr) m_pSerialLink->Stop();
  CTelephony* t = g_pTelephony.load();
  if (t->m_bStoppingCall.load() || !t->m_bCallInProgress.load()) return 1;
  t->m_bStoppingCall = 1;
  OutputDebugStringA("Stopping Call in progress\n");
  LINECALLSTATUS* status = nullptr;
  if (t->m_hCall.load() != 0) {
    status = static_cast<LINECALLSTATUS*>(std::calloc(1, sizeof *status));
    if (status == nullptr) {
      UninitTelephony();
      t->m_bStoppingCall = 0;
      return 0;
    }
    status->dwTotalSize = sizeof *status;
    lineGetCallStatus(t->m_hCall.load(), status);
    if (!(status->dwCallState & LINECALLSTATE_IDLE)) {
      lineDrop(t->m_hCall.load(), nullptr, 0);
      OutputDebugStringA("Call Dropped.\n");
    }
    for (;;) {
      LONG result = lineDeallocateCall(t->m_hCall.load());
      if (!t->CheckLineResult(result)) {
        OutputDebugStringA("lineDeallocateCall unhandled error\n");
        break;
      }
      if (result == 0) break;
    }
    OutputDebugStringA("Call Deallocated.\n");
  }
  if (t->m_hLine.load() != 0) {
    if (!t->CheckLineResult(lineClose(t->m_hLine.load())))
      OutputDebugStringA("lineClose unhandled error\n");
    OutputDebugStringA("Line Closed.\n");
  }
  t->m_hCall = 0;
  t->m_hLine = 0;
  t->m_bCallInProgress = 0;
  t->m_bStoppingCall = 0;
  std::free(status);
  OutputDebugStringA("Call stopped\n");
  return 1;
}

int CTelephony::UninitNow() {
  CTelephony* t = g_pTelephony.load();
  if (t->m_hLineApp.load() == 0 || t->m_bShuttingDown.load()) return 1;
  t->m_bShuttingDown = 1;
  StopCall();
  for (;;) {
    LONG result = lineShutdown(t->m_hLineApp.load());
    if (!t->CheckLineResult(result)) {
      OutputDebugStringA("lineShutdown unhandled error\n");
      break;
    }
    if (result == 0) break;
  }
  t->m_bCallInProgress = 0;
  t->m_hLineApp = 0;
  t->m_hCall = 0;
  t->m_hLine = 0;
  t->m_bShuttingDown = 0;
  OutputDebugStringA("TAPI uninitialized.\n");
  return 1;
}

}  // namespace zentrel
