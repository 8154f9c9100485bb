// The sender's run: store look-up, then the same steps as the form's
// "Send Page" on a UI loop that also carries the line service's events.
#include "tools/send/send_page.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <string>
#include <thread>

#include "journal/page_journal.h"
#include "paging/message_block.h"
#include "paging/reply_rules.h"
#include "paging/send_request.h"
#include "paging/transaction.h"
#include "seriallink/comm_link.h"
#include "seriallink/trace.h"
#include "store/dao.h"
#include "telephony/event_dispatch.h"
#include "telephony/lines_config.h"
#include "telephony/message_box.h"
#include "telephony/telephony.h"
#include "tools/send/console_view.h"
#include "tools/send/line_queue.h"
#include "tools/send/ui_loop.h"

namespace zentrel {
namespace {

class LoopDispatcher : public IEventDispatcher {
 public:
  explicit LoopDispatcher(UiLoop& loop) : loop_(loop) {}
  void Post(std::function<void()> event) override { loop_.Post(std::move(event)); }

 private:
  UiLoop& loop_;
};

struct Recipient {
  bool found = false;
  std::string phone;
  std::string names;
};

// The form's look-up: filter on the PIN and re-query.
Recipient LookUp(const SendOptions& options) {
  CZTSet set(nullptr, options.db);
  set.Open();
  set.m_strFilter = "pin = '" + options.pin + "'";
  set.Requery();
  Recipient r;
  if (set.GetRecordCount() > 0) {
    r.found = true;
    r.phone = set.m_pagephone;
    r.names = set.m_fname + (set.m_fname.empty() || set.m_lname.empty() ? "" : " ") + set.m_lname;
  }
  return r;
}

constexpr const char* kWaitingText = "Waiting for the line...";
// How often a line that another program holds is tried again.
constexpr std::chrono::milliseconds kLineRetryInterval{250};

// Runs the loop until the call has ended or the deadline passes; on the
// deadline the call is ended cleanly. Returns false on the time-out.
bool RunCall(UiLoop& loop, CTelephony& tapi, int timeout_seconds) {
  const auto deadline = UiLoop::Clock::now() + std::chrono::seconds(timeout_seconds);
  loop.SetIdleCheck([&] { return tapi.m_bCallInProgress.load() == 0; });
  if (loop.Run(deadline)) return true;
  OutputDebugStringA("zentrel-send: time-out, ending the call\n");
  tapi.StopCall();
  return false;
}

// A progress text says how far the page got, not why it did not go.
bool IsProgress(const std::string& status) {
  return status == kStatusPreparing || status == kStatusLogOnSent || status == kStatusBlockSent;
}

std::string TimeOutReason(const std::string& last_status, int timeout_seconds) {
  std::string reason = "the terminal did not answer within the time-out of " +
                       std::to_string(timeout_seconds) + " s";
  if (!last_status.empty()) reason += " (last step: " + last_status + ")";
  return reason;
}

// Why the call ended, from the telephony's trace texts, in the user's words.
class CallOutcome {
 public:
  void See(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (text.starts_with("Line busy")) reason_ = "the line is busy";
    else if (text.starts_with("Disconnected: ")) reason_ = Trim(text.substr(14));
    else if (text.starts_with("Line is already in use")) line_in_use_ = true;
  }
  bool LineInUse() const {
    std::lock_guard lock(mutex_);
    return line_in_use_;
  }
  std::string Reason() const {
    std::lock_guard lock(mutex_);
    return reason_;
  }

 private:
  static std::string Trim(std::string_view t) {
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.remove_suffix(1);
    return std::string(t);
  }
  mutable std::mutex mutex_;
  std::string reason_;
  bool line_in_use_ = false;
};

struct CallResult {
  bool accepted = false;
  bool line_in_use = false;  // another program had the line: worth a new try
  bool block_sent = false;   // the terminal had the page: a "no" is its refusal
  std::string reason;        // why not accepted
  std::string terminal;      // the terminal's words about the page
};

std::string LineStayedInUse(int seconds) {
  return "the line stayed in use for " + std::to_string(seconds) + " seconds";
}

// One call: the form's "Send Page" (flags first, then a new link and
// telephony object, the dial) run on a loop of its own until the call ends.
CallResult RunOneCall(const SendOptions& options, const PageRequest& request, std::FILE* out,
                      std::FILE* err) {
  CallOutcome outcome;
  const bool trace = options.trace;
  TraceSink previous_sink = SetTraceSink([&outcome, err, trace](std::string_view text) {
    outcome.See(text);
    if (trace) {
      std::fwrite(text.data(), 1, text.size(), err);
      std::fflush(err);
    }
  });

  UiLoop loop;
  LoopDispatcher dispatcher(loop);
  IEventDispatcher* previous_dispatcher = SetEventDispatcher(&dispatcher);
  std::string last_box;
  TelephonyMessageBoxFn previous_box = SetTelephonyMessageBox([&](const std::string& text, MessageIcon) {
    last_box = text;
    std::fprintf(err, "zentrel-send: %s\n", text.c_str());
  });

  ConsoleView view(loop, options.pin, options.message, out, options.timer_interval_ms);
  ClearTransactionFlags();
  StartedSend send = StartSend(request, view, [&view](CCommLink&, CTelephony& tapi) {
    view.m_pTapi = &tapi;
  });
  bool answered_in_time = true;
  if (send.dialled == 0) {
    OutputDebugStringA("Dial call failed.\n");
  } else {
    answered_in_time = RunCall(loop, *send.tapi, options.timeout_seconds);
  }
  if (send.tapi) send.tapi->UninitTelephony();
  send.link.reset();
  SetTelephonyMessageBox(std::move(previous_box));
  SetEventDispatcher(previous_dispatcher);
  SetTraceSink(std::move(previous_sink));

  CallResult result;
  result.accepted = g_bPageAccepted.load() == 1;
  result.line_in_use = outcome.LineInUse();
  result.block_sent = g_bBlockSent.load() == 1;
  result.terminal = view.TerminalWords();
  result.reason = view.LastStatus();
  if (!answered_in_time && (result.reason.empty() || IsProgress(result.reason))) {
    result.reason = TimeOutReason(result.reason, options.timeout_seconds);
  }
  if (result.reason.empty()) result.reason = outcome.Reason();
  if (result.reason.empty()) result.reason = last_box;
  if (result.reason.empty()) result.reason = "the call ended before the terminal answered";
  return result;
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
std::unique_ptr<LineTicket> TakeTicket(std::FILE* err) {
  try {
    return std::make_unique<LineTicket>(DefaultLockFolder(), LineName());
  } catch (const LineQueueError& e) {
    std::fprintf(err, "zentrel-send: %s; not waiting in turn for the line\n", e.what());
    return nullptr;
  }
}


// The page log's record of this attempt: the message as the block carries it.
PageAttempt Attempt(const SendOptions& options, const Recipient& recipient,
                    const std::string& number) {
  const std::string message(MessageField(options.message));
  return {"zentrel-send", CurrentUser(), options.pin, recipient.names, number, message};
}

PageResult Logged(const CallResult& call) {
  PageResult r;
  r.outcome = call.accepted     ? PageOutcome::kAccepted
              : call.block_sent ? PageOutcome::kRefused
                                : PageOutcome::kNotSent;
  if (!call.accepted) r.reason = call.reason;
  r.terminal = call.terminal;
  return r;
}

// Waits for the line's turn, then calls until the call was not refused for a
// line in use, or the wait is over.
CallResult SendInTurn(const SendOptions& options, const PageRequest& request, std::FILE* out,
                      std::FILE* err) {
  bool said = false;
  auto say_waiting = [&] {
    if (!said) std::fprintf(err, "%s\n", kWaitingText);
    std::fflush(err);
    said = true;
  };
  const auto deadline = LineTicket::Clock::now() + std::chrono::seconds(options.wait_seconds);
  const std::unique_ptr<LineTicket> ticket = TakeTicket(err);
  CallResult result;
  if (ticket && !ticket->AwaitTurn(deadline, say_waiting)) {
    result.reason = LineStayedInUse(options.wait_seconds);
    return result;
  }
  for (;;) {
    result = RunOneCall(options, request, out, err);
    if (!result.line_in_use) return result;
    if (LineTicket::Clock::now() >= deadline) {
      result.reason = LineStayedInUse(options.wait_seconds);
      return result;
    }
    say_waiting();
    std::this_thread::sleep_for(kLineRetryInterval);
  }
}

}  // namespace

int SendPage(const SendOptions& options, std::FILE* out, std::FILE* err) {
  Recipient recipient;
  try {
    recipient = LookUp(options);
  } catch (const CDaoException& e) {
    std::fprintf(err, "zentrel-send: %s\n", e.what());
    return kExitUsage;
  }
  if (!recipient.found) {
    std::fprintf(err, "Did not find Pin number in database, try again!\n");
    return kExitUsage;
  }
  const std::string number = options.phone.value_or(recipient.phone);
  const PageRequest request{options.pin, options.message, number};
  const StartedSend check = CheckSend(request);
  if (!check.refusal.empty()) {
    std::fprintf(err, "zentrel-send: page not sent: %s\n", check.refusal.c_str());
    return kExitUsage;
  }
  if (!check.notice.empty()) std::fprintf(err, "zentrel-send: %s\n", check.notice.c_str());
  PageJournal journal(DefaultPageLogPath(), [err](const std::string& text) {
    std::fprintf(err, "zentrel-send: %s\n", text.c_str());
  });
  journal.Begin(Attempt(options, recipient, number));
  const CallResult result = SendInTurn(options, request, out, err);
  journal.Finish(Logged(result));
  if (result.accepted) return kExitSent;
  std::fprintf(err, "zentrel-send: page not sent: %s\n", result.reason.c_str());
  return kExitNotSent;
}

}  // namespace zentrel
