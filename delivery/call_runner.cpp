// The call runner: the telephony object tells why a call ended; the call's
// own trace, its line events on the loop and its message boxes as lines on
// stderr travel with it, leaving the process's defaults (the form's) alone.
#include "delivery/call_runner.h"

#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "delivery/call_end.h"
#include "delivery/interruption.h"
#include "delivery/line_queue.h"
#include "seriallink/comm_link.h"
#include "seriallink/trace.h"
#include "store/dao.h"
#include "telephony/call_end_reason.h"
#include "telephony/event_dispatch.h"
#include "telephony/line_problems.h"
#include "telephony/lines_config.h"
#include "telephony/message_box.h"
#include "telephony/telephony.h"

namespace zentrel {
namespace {

constexpr const char* kWaitingText = "Waiting for the line...";
// How often a line that another program holds is tried again.
constexpr std::chrono::milliseconds kLineRetryInterval{250};

class LoopDispatcher : public IEventDispatcher {
 public:
  explicit LoopDispatcher(UiLoop& loop) : loop_(loop) {}
  void Post(std::function<void()> event) override { loop_.Post(std::move(event)); }

 private:
  UiLoop& loop_;
};

// The call's trace: to `err` with --trace, else nowhere.
CallTraceSink CallTrace(bool trace, std::FILE* err) {
  return std::make_shared<const TraceSink>([err, trace](std::string_view text) {
    if (!trace) return;
    std::fwrite(text.data(), 1, text.size(), err);
    std::fflush(err);
  });
}

// What made the lines unusable: the line's own failure, else the first
// problem that kept a line from the call.
LineProblem UnusableBecause(const CallEndReason& told, const std::vector<LineProblem>& problems) {
  if (told.kind == CallEndKind::kLineFailed) return told.problem;
  for (const LineProblem& problem : problems) {
    if (problem.kind != LineProblemKind::kDialAnswer &&
        problem.kind != LineProblemKind::kHangUpUnconfirmed)
      return problem;
  }
  return {};
}

// Runs the loop until the call has ended or the deadline passes; a call
// still up at the deadline, or past the grace time after the session was
// over, is ended cleanly. Returns false on the time-out.
bool RunCall(UiLoop& loop, CTelephony& tapi, int timeout_seconds, const CallView& view) {
  const auto deadline = UiLoop::Clock::now() + std::chrono::seconds(timeout_seconds);
  std::optional<UiLoop::Clock::time_point> over_since, signal_since;
  loop.SetIdleCheck([&] {
    if (tapi.m_bCallInProgress.load() == 0) return true;
    if (InterruptingSignal() != 0) {
      if (!signal_since) signal_since = UiLoop::Clock::now();
      if (UiLoop::Clock::now() - *signal_since >= view.signal_grace) return true;
    }
    if (!view.over || !view.over()) return false;
    if (!over_since) over_since = UiLoop::Clock::now();
    return UiLoop::Clock::now() - *over_since >= kHangUpGrace;
  });
  const bool in_time = loop.Run(deadline);
  if (!in_time) OutputDebugStringA("zentrel-send: time-out, ending the call\n");
  if (InterruptingSignal() != 0)
    OutputDebugStringA("zentrel-send: " + InterruptionText(InterruptingSignal()) +
                       ", ending the call\n");
  if (!in_time || tapi.m_bCallInProgress.load() != 0) tapi.StopCall();
  return in_time;
}

// Everything that shares this configuration shares its line: the line
// service always takes the first usable line of it.
std::string LineName() {
  std::error_code ec;
  const std::string path = LinesConfigPath();
  const auto canonical = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : canonical.string();
}

// A ticket in the line's queue, or none (and a word on stderr) when the lock
// folder can't be used: the page then goes out without waiting its turn.
std::unique_ptr<LineTicket> TakeTicket(std::FILE* err, const std::string& line) {
  try {
    return std::make_unique<LineTicket>(DefaultLockFolder(), line.empty() ? LineName() : line);
  } catch (const LineQueueError& e) {
    std::fprintf(err, "zentrel-send: %s; not waiting in turn for the line\n", e.what());
    return nullptr;
  }
}

std::string LineStayedInUse(int seconds) {
  return "the line stayed in use for " + std::to_string(seconds) + " seconds";
}

}  // namespace

Recipient LookUp(const std::string& db, const std::string& pin) {
  CZTSet set(nullptr, db);
  set.Open();
  set.m_strFilter = "pin = '" + pin + "'";
  set.Requery();
  Recipient r;
  if (set.GetRecordCount() > 0) {
    r.found = true;
    r.phone = set.m_pagephone;
    r.names = set.m_fname + (set.m_fname.empty() || set.m_lname.empty() ? "" : " ") + set.m_lname;
  }
  return r;
}

CallEnd PlaceCall(const SendOptions& options, const PageRequest& request, UiLoop& loop,
                  const CallView& view, std::FILE* err) {
  // The call's own trace, events and message box; the process's stay as they are.
  const TraceScope trace(CallTrace(options.trace, err));
  LoopDispatcher dispatcher(loop);
  std::string last_box;
  TelephonyHooks hooks{&dispatcher, [&last_box, err](const std::string& text, MessageIcon) {
                         last_box = text;
                         std::fprintf(err, "zentrel-send: %s\n", text.c_str());
                       }};

  // The one start of a send, as the form's "Send Page" makes it.
  TakeLineProblems();    // only this attempt's count
  const InCall in_call;  // a signal now waits for the hang-up
  StartedSend send = StartSend(
      request, view.view, [&view](CCommLink&, CTelephony& tapi) { view.set_tapi(&tapi); },
      std::move(hooks));
  bool in_time = true;
  if (send.dialled == 0) {
    OutputDebugStringA("Dial call failed.\n");
  } else {
    in_time = RunCall(loop, *send.tapi, options.timeout_seconds, view);
  }
  if (send.tapi) send.tapi->UninitTelephony();
  send.link.reset();

  // Why lines were skipped or refused, a hang-up that was not confirmed. A
  // port that another program holds is the line in use: said once the wait
  // for it is over, not at every try.
  const std::vector<LineProblem> problems = TakeLineProblems();
  const CallEndReason told = send.tapi ? send.tapi->EndReason() : CallEndReason{};
  CallEnd end;
  end.reason = told.words;
  if (send.tapi) {
    end.kind = EndKind(*send.tapi);
    end.connected = send.tapi->m_bConnected.load() != 0;
    end.line_in_use = end.kind == Reason::kLineInUse;
  } else {
    end.kind = Reason::kRefusedNumber;  // the checks refused the request
  }
  for (const LineProblem& problem : problems) {
    if (problem.kind != LineProblemKind::kHeld) continue;
    end.line_in_use = true;
    end.kind = Reason::kLineInUse;
    end.reason = problem.Text();
  }
  if (!end.line_in_use) {
    for (const LineProblem& problem : problems)
      std::fprintf(err, "zentrel-send: %s\n", problem.Text().c_str());
  }
  if (end.kind == Reason::kLineUnusable) end.unusable = UnusableBecause(told, problems);
  end.timed_out = !in_time;
  if (end.timed_out) end.kind = Reason::kTimeOut;
  if (InterruptingSignal() != 0) {
    end.interrupted = true;
    end.kind = Reason::kInterrupted;
    end.reason = InterruptionText(InterruptingSignal()) + "; the call was ended";
  }
  if (end.reason.empty()) end.reason = send.refusal.empty() ? last_box : send.refusal;
  // A call that reached the terminal was not stopped by the lines.
  if (end.reason.empty() && !problems.empty() && !end.connected) {
    end.reason = "no line could be used (see above)";
  }
  return end;
}

LineChoice ChooseLineFor(const SendOptions& options, std::FILE* err) {
  const TraceScope trace(CallTrace(options.trace, err));
  return ChooseLine();
}

std::string InTurn(const SendOptions& options, const std::function<bool()>& attempt, std::FILE* err,
                   const std::string& line) {
  bool said = false;
  auto say_waiting = [&] {
    if (!said) std::fprintf(err, "%s\n", kWaitingText);
    std::fflush(err);
    said = true;
  };
  const auto deadline = LineTicket::Clock::now() + std::chrono::seconds(options.wait_seconds);
  const std::unique_ptr<LineTicket> ticket = TakeTicket(err, line);
  if (ticket && !ticket->AwaitTurn(deadline, say_waiting)) {
    return LineStayedInUse(options.wait_seconds);
  }
  while (attempt() && InterruptingSignal() == 0) {
    if (LineTicket::Clock::now() >= deadline) return LineStayedInUse(options.wait_seconds);
    say_waiting();
    std::this_thread::sleep_for(kLineRetryInterval);
  }
  return {};
}

}  // namespace zentrel
