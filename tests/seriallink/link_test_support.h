// What the link tests share: a view that records every block handed to it
// (and can hold its handler, to make a thread that ignores the close) and
// counts link-failure reports, and a trace recorder
// that can wait for a text. Waits are on events, bounded by a generous guard
// so that a fault fails the test instead of hanging it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "seriallink/handover.h"
#include "seriallink/link_view.h"
#include "seriallink/trace.h"

namespace zentrel::test {

inline constexpr std::chrono::seconds kGuard{10};

// What a line driver would hand over with a descriptor.
inline CommHandover Handover(const LineFormat& format,
                             std::shared_ptr<ITrafficWatcher> watcher = nullptr) {
  CommHandover h;
  h.format = format;
  h.watcher = std::move(watcher);
  return h;
}

// The view, and the telephony object behind it that counts link-failure reports.
class RecordingView : public ILinkView, public ILinkTelephony {
 public:
  int OnLinkUp() override { return link_ups.fetch_add(1), 1; }
  ILinkTelephony* Tapi() override { return this; }
  int UninitTelephony() override {
    failure_reports.fetch_add(1);
    if (on_uninit) on_uninit();
    return 1;
  }
  int ProcessReceivedData(const char* text, std::uint32_t length) override {
    std::unique_lock lock(mutex_);
    blocks_.emplace_back(text, length);
    bytes_ += length;
    if (text[length] != '\0') nul_terminated_ = false;
    cv_.notify_all();
    cv_.wait(lock, [this] { return !hold_; });  // HoldHandler: a thread that does not react
    return result.load();
  }

  std::vector<std::string> Blocks() const {
    std::lock_guard lock(mutex_);
    return blocks_;
  }
  // Until at least `count` calls (or `total` bytes) have arrived.
  bool WaitBlocks(std::size_t count) const {
    return Wait([&] { return blocks_.size() >= count; });
  }
  bool WaitBytes(std::size_t total) const {
    return Wait([&] { return bytes_ >= total; });
  }
  bool AllNulTerminated() const {
    std::lock_guard lock(mutex_);
    return nul_terminated_;
  }
  void HoldHandler(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
    cv_.notify_all();
  }

  std::function<void()> on_uninit;  // set before the link attaches
  std::atomic<int> failure_reports{0};
  std::atomic<int> link_ups{0};
  std::atomic<int> result{1};

 private:
  template <class Done>
  bool Wait(Done done) const {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, kGuard, done);
  }
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<std::string> blocks_;
  std::size_t bytes_ = 0;
  bool nul_terminated_ = true;
  bool hold_ = false;
};

// Records the trace while it lives.
class TraceRecorder {
 public:
  TraceRecorder()
      : previous_(SetTraceSink([s = state_](std::string_view text) {
          std::lock_guard lock(s->mutex);
          s->lines.emplace_back(text);
          s->cv.notify_all();
        })) {}
  ~TraceRecorder() { SetTraceSink(std::move(previous_)); }
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  std::vector<std::string> Lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
  }
  bool Contains(const std::string& text) const { return InOrder({text}); }
  bool WaitFor(const std::string& text) const {
    std::unique_lock lock(state_->mutex);
    const auto& l = state_->lines;
    return state_->cv.wait_for(lock, kGuard,
                               [&] { return std::find(l.begin(), l.end(), text) != l.end(); });
  }
  // True when `texts` appear in this order (other lines may come between).
  bool InOrder(const std::vector<std::string>& texts) const {
    const auto lines = Lines();
    auto at = lines.begin();
    for (const auto& t : texts) {
      at = std::find(at, lines.end(), t);
      if (at == lines.end()) return false;
      ++at;
    }
    return true;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  TraceSink previous_;
};

}  // namespace zentrel::test
