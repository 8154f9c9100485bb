// The call's thread: open, report connected, watch, close. Its wake-up
// eventfd is raised by Drop and Join; the log-off watch has its own, raised
// from the link's threads. A line that cannot be opened ends as an
// unreachable call, with its problem kept for the caller and in the trace.
#include "telephony/direct_call.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "seriallink/eventfd_signal.h"
#include "seriallink/trace.h"

namespace zentrel {

DirectCall::DirectCall(std::string line_name, LineOpener open, std::string number,
                       DirectTimings timings, CallStateReport report)
    : name_(std::move(line_name)),
      open_(std::move(open)),
      number_(std::move(number)),
      timings_(timings),
      report_(std::move(report)),
      wake_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

DirectCall::~DirectCall() {
  Join();
  if (wake_fd_ >= 0) close(wake_fd_);
}

void DirectCall::Start() {
  thread_ = std::thread(WithThisTrace([this] { Run(); }));
}

void DirectCall::Trace(const std::string& text) const {
  OutputDebugStringA(name_ + ": " + text + "\n");
}

void DirectCall::Report(DWORD state, DWORD detail) {
  state_ = state;
  detail_ = detail;
  report_(state, detail);
}

void DirectCall::Run() {
  Trace(number_.empty() ? "nothing to dial"
                        : "nothing to dial; the number " + number_ + " is not used");
  watch_ = LogoffWatch::Create(timings_.logoff_grace);
  LineProblem problem;
  CommHandover handover;
  const int fd =
      wake_fd_ < 0 || !watch_ ? -1 : open_(timings_.connect_timeout, wake_fd_, &handover, &problem);
  if (fd < 0) {
    if (wake_fd_ < 0 || !watch_)
      problem = MakeLineProblem(LineProblemKind::kOther, "no wake-up event for the call");
    if (!drop_.load()) {
      OutputDebugStringA("Line failed: " + name_ + ": " + problem.cause + "\n");
      problem.line = name_;
      {
        std::lock_guard lock(mutex_);
        failure_ = std::move(problem);
      }
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE);
    } else {
      Report(LINECALLSTATE_IDLE, 0);
    }
    return;
  }
  handover.watcher = watch_;
  {
    std::lock_guard lock(mutex_);
    fd_ = fd;
    handover_ = handover;
  }
  Trace("line up");
  Report(LINECALLSTATE_CONNECTED, 0);
  Watch();
  if (drop_.load()) Report(LINECALLSTATE_IDLE, 0);
}

// Polls the line with no input events (only a hang-up or a close wakes it),
// the wake-up and the log-off watch.
void DirectCall::Watch() {
  for (;;) {
    int wait_ms = -1;
    switch (watch_->Due(LogoffWatch::Clock::now(), &wait_ms)) {
      case LogoffWatch::Verdict::kGoodbye:
        Trace("the terminal said goodbye; ending the call");
        return Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
      case LogoffWatch::Verdict::kNoAnswer:
        Trace("no answer to the log-off within " + std::to_string(timings_.logoff_grace.count()) +
              " ms; ending the call");
        return Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
      case LogoffWatch::Verdict::kGoOn: break;
    }
    pollfd fds[3] = {{fd_, POLLRDHUP, 0}, {wake_fd_, POLLIN, 0}, {watch_->fd(), POLLIN, 0}};
    const int r = poll(fds, 3, wait_ms);
    if (r < 0 && errno == EINTR) continue;
    if (drop_.load()) return;
    if (r < 0 || fds[0].revents != 0) {
      Trace("the line has gone");
      return Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    }
  }
}

int DirectCall::DataFd() const {
  std::lock_guard lock(mutex_);
  return state_.load() == LINECALLSTATE_CONNECTED ? fd_ : -1;
}

CommHandover DirectCall::Handover() const {
  std::lock_guard lock(mutex_);
  return handover_;
}

std::optional<LineProblem> DirectCall::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void DirectCall::Drop() {
  drop_ = true;
  if (wake_fd_ >= 0) RaiseEventFd(wake_fd_);
}

// The line is closed only here, once the call is over for the caller too: a
// TLS session the link may still be using reads and writes through it.
void DirectCall::Join() {
  if (thread_.joinable()) {
    Drop();
    thread_.join();
  }
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  handover_ = {};
}

}  // namespace zentrel
