// What the link tests share: a view that records every block handed to it
// (and can hold its handler, to make a thread that ignores the close), a
// telephony object that counts link-failure reports, and a trace recorder
// that can wait for a text. Waits are on events, bounded by a generous guard
// so that a fault fails the test instead of hanging it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "seriallink/link_view.h"
#include "seriallink/trace.h"

namespace zentrel::test {

inline constexpr std::chrono::seconds kGuard{10};

class CountingTelephony : public ILinkTelephony {
 public:
  int UninitTelephony() override {
    calls.fetch_add(1);
    if (on_uninit) on_uninit();
    return 1;
  }
  std::atomic<int> calls{0};
  std::function<void()> on_uninit;  // set before the link attaches
};

class RecordingView : public ILinkView {
 public:
  int StartLogonTimer() override {
    timer_starts.fetch_add(1);
    return 1;
  }
  int ProcessReceivedData(const char* text, std::uint32_t length) override;
  ILinkTelephony* Tapi() override { return &telephony; }

  std::vector<std::string> Blocks() const;
  // Waits until at least `count` calls (or `total` bytes) have arrived.
  bool WaitBlocks(std::size_t count) const;
  bool WaitBytes(std::size_t total) const;
  bool AllNulTerminated() const;

  // While held, the handler blocks after recording its block.
  void HoldHandler();
  bool WaitHandlerEntered() const;
  void ReleaseHandler();

  CountingTelephony telephony;
  std::atomic<int> timer_starts{0};
  std::atomic<int> result{1};

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<std::string> blocks_;
  std::size_t bytes_ = 0;
  bool nul_terminated_ = true;
  bool hold_ = false;
  bool entered_ = false;
};

// Records the trace while it lives.
class TraceRecorder {
 public:
  TraceRecorder();
  ~TraceRecorder();
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(const std::string& text) const;
  bool WaitFor(const std::string& text) const;
  // True when `texts` appear in this order (other lines may come between).
  bool InOrder(const std::vector<std::string>& texts) const;

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_;
  TraceSink previous_;
};

}  // namespace zentrel::test
