// One modem call on its own thread; see hayes_call.h. The thread reads the
// port one byte at a time while it talks to the modem, so that it never
// takes a byte that follows CONNECT's line: those belong to the serial link.
#include "telephony/hayes_call.h"

#include <cerrno>
#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include "seriallink/trace.h"

namespace zentrel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The line as a trace can show it: control bytes as <XX>.
std::string Printable(const std::string& line) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : line) {
    if (c >= 0x20 && c < 0x7f) {
      out.push_back(static_cast<char>(c));
    } else {
      out += {'<', kHex[c >> 4], kHex[c & 0xF], '>'};
    }
  }
  return out;
}

int Millis(Clock::duration d) {
  auto ms = std::chrono::duration_cast<milliseconds>(d).count();
  return ms < 0 ? 0 : static_cast<int>(ms);
}

}  // namespace

HayesCall::HayesCall(HayesPort& port, std::string init, std::string number,
                     HayesTimings timings, CallStateReport report)
    : port_(port),
      init_(std::move(init)),
      number_(std::move(number)),
      timings_(timings),
      report_(std::move(report)),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

HayesCall::~HayesCall() {
  Join();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void HayesCall::Start() { thread_ = std::thread([this] { Run(); }); }

void HayesCall::Drop() {
  drop_.store(true);
  std::uint64_t one = 1;
  (void)!::write(wake_fd_, &one, sizeof one);
}

void HayesCall::Join() {
  end_.store(true);
  std::uint64_t one = 1;
  (void)!::write(wake_fd_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
}

void HayesCall::Trace(const std::string& text) const {
  OutputDebugStringA("Modem on " + port_.path() + ": " + text + "\n");
}

void HayesCall::Report(DWORD state, DWORD detail) {
  state_.store(state);
  detail_.store(detail);
  report_(state, detail);
}

void HayesCall::Run() {
  if (Initialise()) DialAndAnswer();
  if (State() == LINECALLSTATE_CONNECTED) Watch();
  while (!StopRequested()) {
    pollfd wake{wake_fd_, POLLIN, 0};
    ::poll(&wake, 1, -1);
  }
  if (off_hook_) HangUp();
  if (drop_.load()) Report(LINECALLSTATE_IDLE, 0);
}

bool HayesCall::Initialise() {
  if (!port_.WriteAll(init_ + "\r", timings_.command_timeout)) {
    Trace("cannot write the init command");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    return false;
  }
  HayesResponse answer;
  Wait wait = AwaitResult(timings_.command_timeout, true, &answer);
  if (wait == Wait::kStopped) return false;
  if (wait == Wait::kLine && answer.kind == HayesKind::kOk) return true;
  if (wait == Wait::kLine)
    Trace(std::string("init answered ") + HayesKindName(answer.kind));
  else if (wait == Wait::kTimeout)
    Trace("no answer to the init command within " +
          std::to_string(timings_.command_timeout.count()) + " ms");
  else
    Trace("the port hung up");
  Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
  return false;
}

void HayesCall::DialAndAnswer() {
  off_hook_ = true;
  Report(LINECALLSTATE_DIALING, 0);
  if (!port_.WriteAll("ATDT" + number_ + "\r", timings_.command_timeout)) {
    Trace("cannot write the dial command");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    return;
  }
  HayesResponse answer;
  Wait wait = AwaitResult(timings_.dial_timeout, true, &answer);
  if (wait == Wait::kStopped) return;
  if (wait == Wait::kTimeout) {
    Trace("no answer to the dial command within " +
          std::to_string(timings_.dial_timeout.count()) + " ms");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    return;
  }
  off_hook_ = wait == Wait::kLine && answer.kind == HayesKind::kConnect;
  if (wait == Wait::kPortGone) {
    Trace("the port hung up");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    return;
  }
  switch (answer.kind) {
    case HayesKind::kConnect:
      data_mode_ = true;
      Trace(answer.rate.empty() ? "CONNECT" : "CONNECT " + answer.rate);
      Report(LINECALLSTATE_CONNECTED, 0);
      return;
    case HayesKind::kBusy:
      Report(LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
      return;
    case HayesKind::kNoCarrier:
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE);
      return;
    case HayesKind::kNoAnswer:
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
      return;
    case HayesKind::kNoDialtone:
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE);
      return;
    default:
      Trace(std::string("dial command answered ") +
            HayesKindName(answer.kind));
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
      return;
  }
}

// Connected: the serial link reads the port now. Poll it with no input
// events, so that only a hang-up or an error wakes us, and look at DCD if
// it was up when the call connected.
void HayesCall::Watch() {
  bool carrier = false;
  const bool watch_carrier = port_.ReadCarrier(&carrier) && carrier;
  for (;;) {
    pollfd p[2] = {{port_.fd(), 0, 0}, {wake_fd_, POLLIN, 0}};
    ::poll(p, 2, static_cast<int>(timings_.watch_interval.count()));
    if (p[1].revents & POLLIN) return;
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      Trace("the port hung up");
      off_hook_ = false;
      data_mode_ = false;
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
      return;
    }
    if (watch_carrier && port_.ReadCarrier(&carrier) && !carrier) {
      Trace("carrier lost");
      data_mode_ = false;
      Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
      return;
    }
  }
}

void HayesCall::HangUp() {
  Trace("hanging up");
  off_hook_ = false;
  if (port_.PulseDtr(timings_.dtr_hold)) return;
  if (data_mode_) {
    std::this_thread::sleep_for(timings_.escape_guard);
    if (!port_.WriteAll("+++", timings_.command_timeout)) return;
    std::this_thread::sleep_for(timings_.escape_guard);
  } else if (!port_.WriteAll("\r", timings_.command_timeout)) {
    return;  // a CR stops a dial in progress
  }
  data_mode_ = false;
  ::tcflush(port_.fd(), TCIFLUSH);
  if (!port_.WriteAll("ATH\r", timings_.command_timeout)) return;
  // A dial stopped by the CR may still answer NO CARRIER before ATH's OK.
  const auto deadline = Clock::now() + timings_.command_timeout;
  HayesResponse answer;
  Wait wait = Wait::kTimeout;
  do {
    wait = AwaitResult(
        std::chrono::duration_cast<milliseconds>(deadline - Clock::now()),
        false, &answer);
  } while (wait == Wait::kLine && answer.kind == HayesKind::kNoCarrier);
  if (wait != Wait::kLine || answer.kind != HayesKind::kOk)
    Trace("no OK to ATH");
}

HayesCall::Wait HayesCall::AwaitResult(milliseconds limit, bool stop_ends,
                                       HayesResponse* result) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline -
                                                         Clock::now());
    Wait wait = AwaitLine(left, stop_ends, result);
    if (wait != Wait::kLine) return wait;
    switch (result->kind) {
      case HayesKind::kEcho:
      case HayesKind::kEmpty:
      case HayesKind::kRing:
        continue;
      case HayesKind::kUnknown:
        Trace("ignored \"" + Printable(last_line_) + "\"");
        continue;
      default:
        return Wait::kLine;
    }
  }
}

HayesCall::Wait HayesCall::AwaitLine(milliseconds limit, bool stop_ends,
                                     HayesResponse* line) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    int left = Millis(deadline - Clock::now());
    if (left == 0 && !splitter_.AwaitingLineFeed()) return Wait::kTimeout;
    int wait = left;
    if (splitter_.AwaitingLineFeed())
      wait = std::min(wait, static_cast<int>(timings_.line_end_grace.count()));
    pollfd p[2] = {{port_.fd(), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    int n = ::poll(p, stop_ends ? 2 : 1, wait);
    if (n < 0 && errno == EINTR) continue;
    if (stop_ends && (p[1].revents & POLLIN)) return Wait::kStopped;
    if (n == 0) {
      if (!splitter_.AwaitingLineFeed()) continue;
      last_line_ = *splitter_.Flush();
      *line = ParseHayesLine(last_line_);
      return Wait::kLine;
    }
    if (p[0].revents & POLLIN) {
      char byte = 0;
      ssize_t got = ::read(port_.fd(), &byte, 1);
      if (got == 1) {
        if (auto text = splitter_.Feed(byte)) {
          last_line_ = std::move(*text);
          *line = ParseHayesLine(last_line_);
          return Wait::kLine;
        }
        continue;
      }
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return Wait::kPortGone;
    }
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::kPortGone;
  }
}

}  // namespace zentrel
