// One modem call on its own thread; see hayes_call.h. Here: the thread's
// life, the init and the dial. Reading the modem's lines is in
// hayes_read.cpp, watching the call and hanging up in hayes_hangup.cpp.
#include "telephony/hayes_call.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "seriallink/trace.h"
#include "telephony/line_problems.h"

namespace zentrel {
namespace {

// The modem's own settings one at a time, for a modem that refuses the lot.
constexpr const char* kSettingParts[] = {"ATE0", "ATV1", "ATQ0", "ATX4", "AT&C1", "AT&D2"};

}  // namespace

HayesCall::HayesCall(TtyPort& port, IModemLines& lines, std::string init, std::string number,
                     HayesTimings timings, CallStateReport report, bool set_up)
    : port_(port),
      lines_(lines),
      init_(std::move(init)),
      number_(std::move(number)),
      timings_(timings),
      report_(std::move(report)),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      reader_(port, timings.line_end_grace),
      set_up_(set_up) {}

HayesCall::~HayesCall() {
  Join();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void HayesCall::Start() {
  thread_ = std::thread(WithThisTrace([this] { Run(); }));
}

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

void HayesCall::Pause(std::chrono::milliseconds length) {
  pollfd wake{wake_fd_, POLLIN, 0};
  ::poll(&wake, 1, static_cast<int>(length.count()));
}

void HayesCall::Run() {
  if (wake_fd_ < 0) {
    Trace("cannot make the call's wake-up event");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
  } else if (Initialise()) {
    DialAndAnswer();
  }
  if (State() == LINECALLSTATE_CONNECTED) Watch();
  while (!StopRequested()) {
    pollfd wake{wake_fd_, POLLIN, 0};
    ::poll(&wake, 1, -1);
  }
  if (off_hook_) HangUp();
  if (drop_.load()) Report(LINECALLSTATE_IDLE, 0);
}

// Writes `command` CR and reads its result; false when the modem did not
// answer at all (nothing, a hang-up, or a stop), which the caller reports.
bool HayesCall::Command(const std::string& command, HayesResponse* answer) {
  if (!port_.WriteAll(command + "\r", timings_.command_timeout)) {
    Trace("cannot write " + command);
    return false;
  }
  const Wait wait = AwaitResult(timings_.command_timeout, true, answer);
  if (wait == Wait::kLine) return true;
  if (wait == Wait::kTimeout)
    Trace("no answer to " + command + " within " +
          std::to_string(timings_.command_timeout.count()) + " ms");
  else if (wait == Wait::kPortGone)
    Trace("the port hung up");
  return false;
}

// The line's INIT (unless the line's check had it answered), then the
// driver's settings; false when the modem did not set up, said for the user
// (not only "Unknown reason").
bool HayesCall::Initialise() {
  HayesResponse answer;
  if (!set_up_) {
    if (!Command(init_, &answer)) return SetUpFailed(init_, false);
    if (answer.kind != HayesKind::kOk) return SetUpFailed(init_, true);
  }
  Pause(timings_.after_init);
  return SendSettings() || SetUpFailed(kHayesSettings, false);
}

bool HayesCall::SetUpFailed(const std::string& command, bool answered) {
  const std::string words = answered ? " answered \"" + PrintableModemText(last_line_) + "\""
                                     : " got no answer within " +
                                           std::to_string(timings_.command_timeout.count()) + " ms";
  if (answered) Trace("the init " + command + words);
  if (StopRequested()) return false;
  NoteLineProblem(
      MakeLineProblem(answered ? LineProblemKind::kBadAnswer : LineProblemKind::kNoAnswer,
                      "the modem on " + port_.path() + " did not set up: " + command + words));
  Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
  return false;
}

// The driver's own settings after the line's INIT; a modem that refuses
// them together gets them one by one, and one it refuses is only traced.
bool HayesCall::SendSettings() {
  HayesResponse answer;
  if (!Command(kHayesSettings, &answer)) return false;
  if (answer.kind == HayesKind::kOk) return true;
  Trace(std::string(kHayesSettings) + " answered \"" + PrintableModemText(last_line_) +
        "\"; sending its parts one by one");
  for (const char* part : kSettingParts) {
    if (!Command(part, &answer)) return false;
    if (answer.kind != HayesKind::kOk)
      Trace(std::string("the modem refused ") + part + "; going on without it");
  }
  return true;
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
  const Wait wait = AwaitResult(timings_.dial_timeout, true, &answer);
  if (wait == Wait::kStopped) return;
  if (wait == Wait::kTimeout) {
    Trace("no answer to the dial command within " + std::to_string(timings_.dial_timeout.count()) +
          " ms");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    return;
  }
  if (wait == Wait::kPortGone) {
    off_hook_ = false;
    Trace("the port hung up");
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
    return;
  }
  ReportDialAnswer(answer);
}

// Each answer to the dial as the call state whose text says it best; the
// trace keeps the modem's own words.
void HayesCall::ReportDialAnswer(const HayesResponse& answer) {
  const std::string words = "\"" + PrintableModemText(last_line_) + "\"";
  off_hook_ = answer.kind == HayesKind::kConnect;
  if (answer.kind == HayesKind::kConnect) {
    data_mode_ = true;
    Trace(answer.rate.empty() ? "CONNECT" : "CONNECT " + answer.rate);
    Report(LINECALLSTATE_CONNECTED, 0);
    return;
  }
  // The modem's own words go with the call's end, for the user and the log.
  LineProblem said =
      MakeLineProblem(LineProblemKind::kDialAnswer,
                      "the modem on " + port_.path() + " answered the dial with " + words);
  said.system = PrintableModemText(last_line_);
  NoteLineProblem(std::move(said));
  if (answer.kind == HayesKind::kBusy) {
    Report(LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
    return;
  }
  DWORD mode = LINEDISCONNECTMODE_UNKNOWN;
  switch (answer.kind) {
    case HayesKind::kNoCarrier: mode = LINEDISCONNECTMODE_UNREACHABLE; break;
    case HayesKind::kNoAnswer: mode = LINEDISCONNECTMODE_NOANSWER; break;
    case HayesKind::kNoDialtone: mode = LINEDISCONNECTMODE_NODIALTONE; break;
    case HayesKind::kDelayed: mode = LINEDISCONNECTMODE_UNAVAIL; break;
    case HayesKind::kBlacklisted: mode = LINEDISCONNECTMODE_UNAVAIL; break;
    case HayesKind::kVoice: mode = LINEDISCONNECTMODE_INCOMPATIBLE; break;
    default: break;
  }
  Trace("the dial command answered " + words);
  Report(LINECALLSTATE_DISCONNECTED, mode);
}

}  // namespace zentrel
