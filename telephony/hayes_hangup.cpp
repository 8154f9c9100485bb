// The connected call and its end. Connected, the serial link reads the port,
// so the call polls it with no input events: only a hang-up or an error wakes
// it. Where the port has modem lines, the carrier ends the call too: once DCD
// is up the port stops ignoring it (a carrier loss then hangs the tty up,
// which wakes the poll) and DCD is also read every watch interval. A
// pseudo-terminal has no such lines and ends a call by hanging up.
// Hanging up is checked: DTR low, then DCD low or the modem's answer; else
// the escape (guard times counted from when the bytes have left) and ATH.
#include <poll.h>

#include <thread>

#include "seriallink/trace.h"
#include "telephony/hayes_call.h"
#include "telephony/line_problems.h"

namespace zentrel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

}  // namespace

void HayesCall::Watch() {
  bool carrier_seen = false;
  for (;;) {
    pollfd p[2] = {{port_.fd(), 0, 0}, {wake_fd_, POLLIN, 0}};
    ::poll(p, 2, static_cast<int>(timings_.watch_interval.count()));
    if (p[1].revents & POLLIN) return;
    bool carrier = false;
    const bool lost = (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (!lost && port_.HasModemLines() && port_.ReadCarrier(&carrier)) {
      if (carrier && !carrier_seen) {
        carrier_seen = true;
        port_.IgnoreCarrier(false);
      }
      if (carrier || !carrier_seen) continue;
    } else if (!lost) {
      continue;
    }
    Trace(lost ? "the port hung up" : "carrier lost");
    off_hook_ = false;  // no carrier: the modem is back on hook
    data_mode_ = false;
    Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    return;
  }
}

void HayesCall::HangUp() {
  Trace("hanging up");
  port_.IgnoreCarrier(true);
  const bool done = (port_.HasModemLines() && HangUpByDtr()) || HangUpByCommand();
  off_hook_ = false;
  data_mode_ = false;
  if (done) return;
  Trace("the call could not be hung up");
  NoteLineProblem(MakeLineProblem(LineProblemKind::kHangUpUnconfirmed,
                                  "the modem on " + port_.path() +
                                      " did not confirm the hang-up and may still hold the "
                                      "telephone line; switch it off or unplug it if it does"));
}

// DTR low: in a call, DCD falling proves the hang-up; while dialling, the
// modem's answer (NO CARRIER or OK) does.
bool HayesCall::HangUpByDtr() {
  if (!port_.SetDtr(false)) return false;
  std::this_thread::sleep_for(timings_.dtr_hold);
  const auto deadline = Clock::now() + timings_.hangup_wait;
  bool done = false;
  while (!done && Clock::now() < deadline) {
    bool carrier = true;
    if (data_mode_ && port_.ReadCarrier(&carrier) && !carrier) done = true;
    HayesResponse answer;
    if (!done && AwaitResult(timings_.watch_interval, false, &answer) == Wait::kLine)
      done = answer.kind == HayesKind::kNoCarrier || answer.kind == HayesKind::kOk;
  }
  port_.SetDtr(true);
  if (!done) Trace("the modem did not hang up on DTR; trying the escape and ATH");
  return done;
}

bool HayesCall::HangUpByCommand() {
  if (data_mode_) {
    if (!port_.Drain()) return false;
    std::this_thread::sleep_for(timings_.escape_guard);
    if (!port_.WriteAll("+++", timings_.command_timeout) || !port_.Drain())
      return false;
    std::this_thread::sleep_for(timings_.escape_guard);
  } else if (!port_.WriteAll("\r", timings_.command_timeout)) {
    return false;  // a CR stops a dial in progress
  }
  port_.FlushInput();
  if (!port_.WriteAll("ATH\r", timings_.command_timeout)) return false;
  // A dial stopped by the CR may still answer NO CARRIER before ATH's OK.
  const auto deadline = Clock::now() + timings_.command_timeout;
  HayesResponse answer;
  Wait wait = Wait::kTimeout;
  do {
    wait = AwaitResult(
        std::chrono::duration_cast<milliseconds>(deadline - Clock::now()),
        false, &answer);
  } while (wait == Wait::kLine && answer.kind == HayesKind::kNoCarrier);
  if (wait == Wait::kLine && answer.kind == HayesKind::kOk) return true;
  Trace("no OK to ATH");
  return false;
}

}  // namespace zentrel
