// The lines and their calls: one slot per configured line, each either idle,
// resting (its port was missing or held: tried again later) or in a call
// with one worker process. Due pages are claimed per line (a modem line
// takes one terminal's pages; a serial, TCP or TLS line is its terminal),
// each worker event is committed to the queue before the worker hears "ok",
// and the pages a call never reached go back to the queue when it ends.
#pragma once

#include <poll.h>

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gateway/settings.h"
#include "gateway/worker_call.h"
#include "queue/page_queue.h"
#include "telephony/lines_config.h"

namespace zentrel::gateway {

// What a line is doing, for the HTTP status page and API: this gateway's
// lines as they are, another gateway's as it last wrote them.
struct LineState {
  std::string gateway;  // whose line
  std::string name;
  std::string state;                 // "idle", "in a call", "resting", "dropped"
  std::vector<queue::PageId> pages;  // the call's
  double since = 0;                  // the call's start
  double rest_until = 0;
  int failures = 0;   // calls in a row that found the line unusable
  long calls = 0;     // calls started since the daemon started
  double busy_s = 0;  // seconds in calls since the daemon started
  bool seen = true;   // false: its gateway stopped writing (killed, cut off)
  double age_s = 0;   // since its gateway last wrote it
};

// How long calls took, for the metrics' histogram: calls per bucket (at
// most its bound in seconds, more than the one before; not cumulative).
struct CallDurations {
  static constexpr std::array<double, 8> kBounds{1, 5, 10, 30, 60, 120, 300, 600};
  std::array<long, 8> counts{};
  long count = 0;
  double sum = 0;
  void Add(double seconds);
};

class LineCalls {
 public:
  // `changed` is told when pages may have reached a final state.
  LineCalls(const GatewaySettings& settings, queue::PageQueue& queue,
            std::function<void()> changed);
  ~LineCalls();

  // A new list of lines (at start and on SIGHUP); calls under way go on.
  void SetLines(const std::vector<LineConfig>& lines);
  // Starts a call on every free line that has pages due.
  void Dispatch(double now);
  void AddFds(std::vector<pollfd>& fds) const;
  void Serve(const std::vector<pollfd>& fds, double now);
  void ChildExited(double now);          // SIGCHLD
  void Signal(int signal);               // to every worker
  void Stopping() { stopping_ = true; }  // calls ended now are not the pages' fault
  // A worker past its call's time-out (and a margin) is told to stop, then
  // killed after the stop grace: a hung worker never holds a line for good.
  void EndOverdue(double now);
  bool Busy() const;                // a call is under way
  bool CanStart(double now) const;  // a line is free and not resting
  double NextDeadline() const;      // the end of the earliest rest
  std::vector<LineState> States(double now) const;
  const std::string& Gateway() const { return settings_.name; }
  const CallDurations& Durations() const { return durations_; }

 private:
  struct Call {
    std::unique_ptr<WorkerCall> worker;
    std::string line_name;
    std::vector<queue::PageId> ids;
    std::set<queue::PageId> answered;
    bool ended = false;  // the "end" event came
    EndEvent end;
    std::string trouble;  // why the daemon stopped listening to it
    double started = 0;
    double overdue_at = 0;  // SIGTERM then, SIGKILL a stop grace later
    bool told_to_stop = false;
  };
  struct Slot {
    std::optional<LineConfig> line;  // none: dropped at a reload, its call still running
    std::unique_ptr<Call> call;
    double rest_until = 0;
    int failures = 0;
    long calls = 0;
    double busy_s = 0;  // of the calls over
  };
  bool Start(std::size_t index, Slot& slot, double now);
  void OnEvent(Call& call, const WorkerEvent& event, double now);
  void Finish(Slot& slot, double now);

  const GatewaySettings& settings_;
  queue::PageQueue& queue_;
  std::function<void()> changed_;
  std::string lines_file_;  // absolute, for the workers
  std::vector<Slot> slots_;
  bool stopping_ = false;
  std::string last_trouble_;  // the queue's last failure, logged once
  CallDurations durations_;
};

}  // namespace zentrel::gateway
