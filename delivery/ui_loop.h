// The command-line sender's stand-in for the UI thread: one thread that runs
// posted work in order and a repeating timer, until told to quit or a
// deadline passes. Telephony events, the wake-up timer and status lines all
// run on it, as they would on the form's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace zentrel {

class UiLoop {
 public:
  using Clock = std::chrono::steady_clock;

  // Queues `work` to run on the loop's thread; callable from any thread.
  void Post(std::function<void()> work);

  // Starts (or replaces) the repeating timer; loop thread only.
  void StartTimer(std::chrono::milliseconds interval, std::function<void()> tick);
  void StopTimer();

  // A condition that ends Run() when it holds; checked after each piece of
  // work, each tick, and at least every kIdleCheckInterval (for changes made
  // by other threads). Loop thread only.
  void SetIdleCheck(std::function<bool()> done) { done_ = std::move(done); }
  static constexpr std::chrono::milliseconds kIdleCheckInterval{100};

  // Runs until Quit(), the idle check holds, or `deadline`; returns false
  // when the deadline passed.
  bool Run(Clock::time_point deadline);
  void Quit();  // any thread

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool quit_ = false;
  // Timer state is touched on the loop thread only.
  std::optional<Clock::time_point> next_tick_;
  std::chrono::milliseconds interval_{0};
  std::function<void()> tick_;
  std::function<bool()> done_;
};

}  // namespace zentrel
