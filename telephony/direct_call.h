// One call on a line with no modem (a serial cable to an on-site encoder, a
// TCP or TLS connection to a paging gateway), on a thread of its own. Nothing
// is dialled: the line kind's opener brings the line up (opens the port, or
// connects and shakes hands) within the connect time-out, and the call is
// connected. It then only watches: the peer closing or the port going away,
// the terminal's goodbye, or no answer to the log-off within the grace
// period end the call as a terminal's hang-up would (disconnected, normal).
// A line that cannot be brought up ends the call unreachable, and the call
// keeps the opener's problem for the telephony object to ask.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "seriallink/handover.h"
#include "telephony/direct_timings.h"
#include "telephony/line_kind.h"
#include "telephony/logoff_watch.h"

namespace zentrel {

// Brings the line up within `limit`, giving up when `wake_fd` turns
// readable: the descriptor, with what goes with it in `handover`; or -1 with
// the reason in `problem` (its kind, cause and the system's own text).
using LineOpener = std::function<int(std::chrono::milliseconds limit, int wake_fd,
                                     CommHandover* handover, LineProblem* problem)>;

class DirectCall : public ILineCall {
 public:
  DirectCall(std::string line_name, LineOpener open, std::string number, DirectTimings timings,
             CallStateReport report);
  ~DirectCall() override;  // Join()
  DirectCall(const DirectCall&) = delete;
  DirectCall& operator=(const DirectCall&) = delete;

  void Start() override;
  DWORD State() const override { return state_.load(); }
  DWORD StateDetail() const override { return detail_.load(); }
  // While connected, the line's descriptor (else -1), and what goes with it:
  // the line's format, a TLS session, the log-off watch.
  int DataFd() const override;
  std::string DataName() const override { return name_; }
  CommHandover Handover() const override;
  // The opener's problem, once the line failed to come up (named by the line).
  std::optional<LineProblem> Failure() const override;
  // Ends the call; it reports idle.
  void Drop() override;
  // Ends the call, waits for its thread and closes the line.
  void Join() override;

 private:
  void Run();
  void Watch();
  void Report(DWORD state, DWORD detail);
  void Trace(const std::string& text) const;

  const std::string name_;
  LineOpener open_;
  const std::string number_;
  const DirectTimings timings_;
  CallStateReport report_;
  const int wake_fd_;
  std::thread thread_;
  mutable std::mutex mutex_;  // the line's descriptor, handover and failure
  int fd_ = -1;
  CommHandover handover_;
  std::optional<LineProblem> failure_;
  std::shared_ptr<LogoffWatch> watch_;
  std::atomic<DWORD> state_{0};
  std::atomic<DWORD> detail_{0};
  std::atomic<bool> drop_{false};
};

}  // namespace zentrel
