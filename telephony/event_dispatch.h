// How the line service's events reach the program's thread. Drivers report
// events from their own threads; the service hands each one to the installed
// dispatcher, which runs it later on the thread that owns the program's
// telephony (the UI thread). The Qt program installs a queued-call
// dispatcher; programs without an event loop and the tests use PumpedQueue.
// A call may bring its own (the sender's loop): its registration keeps it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace zentrel {

class IEventDispatcher {
 public:
  virtual ~IEventDispatcher() = default;
  // Thread-safe, never blocks on the receiving thread.
  virtual void Post(std::function<void()> event) = 0;
};

// Installs the process-wide dispatcher (not owned; null removes it). Events
// posted while none is installed are dropped with a trace line. Returns the
// previous one.
IEventDispatcher* SetEventDispatcher(IEventDispatcher* dispatcher);

// Hands `event` to `dispatcher` (a call's own), or the installed one when null.
void PostLineEvent(IEventDispatcher* dispatcher, std::function<void()> event);

// A queue that the owning thread pumps by hand.
class PumpedQueue : public IEventDispatcher {
 public:
  void Post(std::function<void()> event) override;
  // Runs every event queued now; returns how many ran.
  int RunPending();
  // Waits up to `max_wait` for one event and runs it; false on time-out.
  bool RunOne(std::chrono::milliseconds max_wait);

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace zentrel
