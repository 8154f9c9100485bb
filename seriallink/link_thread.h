// One link thread as the link sees it: started at once, with an end that can
// be waited for with a time limit, and joined once it has ended (so what the
// thread's libraries keep per thread is gone before the process ends). Linux
// has no safe way to kill one thread, so "forcing" a thread that ignores the
// close abandons it: it is detached and marked so that it calls nobody any
// more (no view, no telephony), and all the link state it can still touch
// (device, close event, queue) is held by shared ownership, so nothing
// dangles; the device's descriptor stays open until that thread lets go of
// it, so its number cannot be reused under it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace zentrel {

enum class ThreadPriority { kAboveNormal, kHighest };

class LinkThread : public std::enable_shared_from_this<LinkThread> {
 public:
  // Not yet running: the link puts it into its slot first.
  static std::shared_ptr<LinkThread> Create();
  // False if the thread can't be created. The body runs on the new thread
  // after it has tried to raise its own priority, and is told its thread.
  bool Run(ThreadPriority priority, std::function<void(LinkThread&)> body);

  std::uint32_t id() const { return id_; }
  bool IsCallingThread() const;
  // True when the thread has ended within `limit`.
  bool WaitEnded(std::chrono::milliseconds limit);
  // Waits up to `limit` for the end, then for the thread itself to be gone;
  // false (and nothing joined) if it has not ended, or when called on it.
  bool Join(std::chrono::milliseconds limit);
  void Abandon();
  bool Abandoned() const { return abandoned_.load(); }
  // A thread still running is let go (it may be this very one).
  ~LinkThread();

 private:
  LinkThread();
  void MarkEnded();

  const std::uint32_t id_;
  std::thread::id native_id_;
  mutable std::mutex mutex_;
  std::thread thread_;  // joinable until joined or let go
  std::condition_variable ended_cv_;
  bool ended_ = false;
  std::atomic<bool> abandoned_{false};
};

}  // namespace zentrel
