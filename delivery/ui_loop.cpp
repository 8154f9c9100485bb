// UiLoop: a locked queue plus a condition variable whose wait ends at the
// earlier of the next timer tick and the deadline.
#include "delivery/ui_loop.h"

#include <algorithm>

namespace zentrel {

void UiLoop::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
  }
  wake_.notify_one();
}

void UiLoop::StartTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
  interval_ = interval;
  tick_ = std::move(tick);
  next_tick_ = Clock::now() + interval;
}

void UiLoop::StopTimer() {
  next_tick_.reset();
  tick_ = nullptr;
}

void UiLoop::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
}

bool UiLoop::Run(Clock::time_point deadline) {
  for (;;) {
    if (done_ && done_()) return true;
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      auto until = next_tick_ && *next_tick_ < deadline ? *next_tick_ : deadline;
      if (done_) until = std::min(until, Clock::now() + kIdleCheckInterval);
      wake_.wait_until(lock, until, [&] { return quit_ || !queue_.empty(); });
      if (quit_) return true;
      if (!queue_.empty()) {
        work = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    if (work) {
      work();
      continue;
    }
    const auto now = Clock::now();
    if (next_tick_ && now >= *next_tick_) {
      next_tick_ = now + interval_;
      auto tick = tick_;  // the tick may stop or replace the timer
      tick();
      continue;
    }
    if (now >= deadline) return false;
  }
}

}  // namespace zentrel
