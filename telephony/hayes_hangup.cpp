// The connected call and its end. Connected, the serial link reads the port,
// so the call only waits on the modem lines: the port's hang-up, and where
// the port has modem-control lines the carrier. Once DCD is up the port stops
// ignoring it (a carrier loss then also hangs the tty up); DCD that never
// rose proves nothing either way (a cable without it), so the call goes on.
// Hanging up is checked: a port that hung up confirms it; else DTR low, then
// DCD low (if it was ever up) or the modem's answer; else the escape (guard
// times counted from when the bytes have left) and ATH, whose OK confirms.
#include "seriallink/trace.h"
#include "telephony/hayes_call.h"
#include "telephony/line_problems.h"

namespace zentrel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr const char* kPortHungUp = "the port hung up";

}  // namespace

void HayesCall::Watch() {
  ModemSignals seen;
  const bool lines = lines_.Present() && lines_.Read(&seen);
  if (lines && seen.dcd) NoteCarrier();
  if (lines && !seen.dcd)
    Trace("DCD is not up after CONNECT; the call ends when the port hangs up");
  for (;;) {
    switch (lines_.AwaitChange(seen, timings_.watch_interval, wake_fd_)) {
      case IModemLines::Wait::kWoken: return;
      case IModemLines::Wait::kHangUp:
        return EndByPort(carrier_seen_ ? "the carrier was lost (the port hung up)" : kPortHungUp);
      case IModemLines::Wait::kTimeout: continue;
      case IModemLines::Wait::kChanged: break;
    }
    if (!lines_.Read(&seen)) continue;
    if (seen.dcd) NoteCarrier();
    if (!seen.dcd && carrier_seen_) return EndByPort("the carrier was lost (DCD fell)");
  }
}

void HayesCall::NoteCarrier() {
  if (carrier_seen_) return;
  carrier_seen_ = true;
  if (!lines_.IgnoreCarrier(false)) Trace("cannot make the port heed the carrier");
}

// The modem is back on hook by itself: nothing to hang up.
void HayesCall::EndByPort(const std::string& why) {
  Trace(why);
  off_hook_ = false;
  data_mode_ = false;
  Report(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
}

void HayesCall::HangUp() {
  Trace("hanging up");
  lines_.IgnoreCarrier(true);
  std::string how = port_.AwaitHangUp(milliseconds(0)) ? kPortHungUp : "";
  if (how.empty() && lines_.Present()) how = HangUpByDtr();
  if (how.empty()) how = HangUpByCommand();
  off_hook_ = false;
  data_mode_ = false;
  if (!how.empty()) return Trace("hung up: " + how);
  Trace("the call could not be hung up");
  NoteLineProblem(MakeLineProblem(LineProblemKind::kHangUpUnconfirmed,
                                  "the modem on " + port_.path() +
                                      " did not confirm the hang-up and may still hold the "
                                      "telephone line; switch it off or unplug it if it does"));
}

// DTR low: DCD falling (in a call whose carrier was up) proves the hang-up,
// and so does the modem's answer (NO CARRIER or OK) or the port hanging up.
std::string HayesCall::HangUpByDtr() {
  if (!lines_.SetDtr(false)) return {};
  std::string how = port_.AwaitHangUp(timings_.dtr_hold) ? kPortHungUp : "";
  const auto deadline = Clock::now() + timings_.hangup_wait;
  while (how.empty() && Clock::now() < deadline) {
    ModemSignals now;
    if (carrier_seen_ && lines_.Read(&now) && !now.dcd) {
      how = "DCD fell";
      break;
    }
    HayesResponse answer;
    const Wait wait = AwaitResult(timings_.watch_interval, false, &answer);
    if (wait == Wait::kPortGone) how = kPortHungUp;
    if (wait == Wait::kLine &&
        (answer.kind == HayesKind::kNoCarrier || answer.kind == HayesKind::kOk))
      how = "the modem answered " + PrintableModemText(last_line_);
  }
  lines_.SetDtr(true);
  if (how.empty()) Trace("the modem did not hang up on DTR; trying the escape and ATH");
  return how;
}

std::string HayesCall::HangUpByCommand() {
  // A write that fails on a port that hung up is a hang-up too.
  const auto failed = [this] { return port_.AwaitHangUp(milliseconds(0)) ? kPortHungUp : ""; };
  if (data_mode_) {
    if (!port_.Drain()) return failed();
    if (port_.AwaitHangUp(timings_.escape_guard)) return kPortHungUp;
    if (!port_.WriteAll("+++", timings_.command_timeout) || !port_.Drain()) return failed();
    if (port_.AwaitHangUp(timings_.escape_guard)) return kPortHungUp;
  } else if (!port_.WriteAll("\r", timings_.command_timeout)) {
    return failed();  // a CR stops a dial in progress
  }
  port_.FlushInput();
  if (!port_.WriteAll("ATH\r", timings_.command_timeout)) return failed();
  return AwaitAthAnswer();
}

// ATH's answer: OK, or the port hanging up, confirms; ERROR or silence does
// not. A dial stopped by the CR may still answer NO CARRIER before the OK.
std::string HayesCall::AwaitAthAnswer() {
  const auto deadline = Clock::now() + timings_.command_timeout;
  HayesResponse answer;
  Wait wait = Wait::kTimeout;
  do {
    wait = AwaitResult(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()), false,
                       &answer);
  } while (wait == Wait::kLine && answer.kind == HayesKind::kNoCarrier);
  if (wait == Wait::kPortGone) return kPortHungUp;
  if (wait == Wait::kLine && answer.kind == HayesKind::kOk) return "the modem answered OK to ATH";
  if (wait == Wait::kLine)
    Trace("ATH answered \"" + PrintableModemText(last_line_) + "\"");
  else
    Trace("no answer to ATH within " + std::to_string(timings_.command_timeout.count()) + " ms");
  return {};
}

}  // namespace zentrel
