// How the HTTP listener's threads reach the daemon: never directly. A route
// hands a function to Run, which runs it on the daemon's thread (the one
// that owns the queue, the recipients and the lines) with the daemon's state
// and brings back its result. While the daemon stops, Run throws
// Unavailable and the route answers 503.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "gateway/handler.h"
#include "gateway/line_calls.h"
#include "gateway/loop_tasks.h"
#include "gateway/recipients.h"
#include "queue/page_queue.h"

namespace zentrel::gateway {

// The daemon as a task on its thread sees it; valid during the task only.
struct DaemonState {
  Handler& handler;
  queue::PageQueue& queue;
  const Recipients& recipients;
  const LineCalls& lines;
  bool accepting;                       // false while the daemon stops: take no new pages
  double now;                           // Unix seconds
  std::function<void()> pages_changed;  // after a change made a page final
};

class Unavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DaemonAccess {
 public:
  DaemonAccess(LoopTasks& tasks, std::function<DaemonState()> state)
      : tasks_(tasks), state_(std::move(state)) {}

  // Runs work(DaemonState&) on the daemon's thread; its result. Throws
  // Unavailable when the daemon no longer takes work, and what work threw.
  template <class Work>
  auto Run(Work&& work) {
    using Result = std::invoke_result_t<Work, DaemonState&>;
    std::optional<Result> result;
    const bool ran = tasks_.Run([&] {
      DaemonState state = state_();
      result.emplace(work(state));
    });
    if (!ran) throw Unavailable("The gateway is stopping; nothing was queued.");
    return std::move(*result);
  }

 private:
  LoopTasks& tasks_;
  std::function<DaemonState()> state_;
};

}  // namespace zentrel::gateway
