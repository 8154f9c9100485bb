// The sender's default run: store look-up and the checks of the one start of
// a send, then the same steps as the form's "Send Page" and the form's
// transaction, in the line's turn, with the attempt written to the page log
// before the call and completed after. When the line chosen carries pages
// (line_choice.h), the page goes by that line's delivery instead of a call.
#include "delivery/send_page.h"

#include <string>

#include "base/terminal_text.h"
#include "delivery/call_log.h"
#include "delivery/call_runner.h"
#include "delivery/console_view.h"
#include "delivery/pages_call.h"
#include "delivery/ui_loop.h"
#include "journal/page_log.h"
#include "paging/message_block.h"
#include "paging/page_check.h"
#include "paging/reply_rules.h"
#include "paging/send_request.h"
#include "paging/transaction_flags.h"
#include "store/dao.h"
#include "telephony/line_choice.h"
#include "telephony/line_service.h"

namespace zentrel {
namespace {

struct CallResult {
  bool accepted = false;
  bool line_in_use = false;
  bool answered = false;     // the terminal answered the block: a "no" is its refusal
  bool interrupted = false;  // a signal ended the call before the page went
  std::string reason;        // why not accepted
  std::string terminal;      // the terminal's words about the page
};

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

CallResult RunOneCall(const SendOptions& options, const PageRequest& request, std::FILE* out,
                      std::FILE* err) {
  UiLoop loop;
  ConsoleView view(loop, options.pin, options.message, out, options.timer_interval_ms);
  const CallEnd end =
      PlaceCall(options, request, loop,
                {view, [&view](ILinkTelephony* t) { view.m_pTapi = t; }, nullptr}, err);
  CallResult result;
  result.accepted = g_bPageAccepted.load() == 1;
  result.line_in_use = end.line_in_use;
  result.interrupted = end.interrupted;
  const std::string last = view.LastStatus();
  result.answered = g_bBlockSent.load() == 1 && !last.empty() && !IsProgress(last);
  result.terminal = view.TerminalWords();
  result.reason = end.interrupted ? end.reason : last;
  if (end.timed_out && (result.reason.empty() || IsProgress(result.reason))) {
    result.reason = TimeOutReason(result.reason, options.timeout_seconds);
  } else if (IsProgress(result.reason)) {
    // The call ended under the page: the last step says how far it got, not why.
    result.reason =
        (end.reason.empty() ? "the call ended before the terminal answered" : end.reason) +
        " (last step: " + last + ")";
  }
  if (result.reason.empty()) result.reason = end.reason;
  if (result.reason.empty()) result.reason = "the call ended before the terminal answered";
  return result;
}

// The page on the chosen line that carries pages: the lines passed over
// are said as a call says them, then its outcome as the form's words.
CallResult RunPagesOneCall(const SendOptions& options, const LineChoice& choice, std::FILE* out,
                           std::FILE* err) {
  for (const LineProblem& problem : choice.skipped)
    std::fprintf(err, "zentrel-send: %s\n", problem.Text().c_str());
  const std::vector<tap::OutgoingPage> page{
      {options.pin, std::string(MessageField(options.message))}};
  const tap::PageReport report =
      RunPagesCall(choice.line, page, options.timeout_seconds, nullptr, nullptr, err).front();
  CallResult result;
  result.accepted = report.status == tap::PageStatus::kAccepted;
  result.answered = report.status == tap::PageStatus::kRefused;
  result.terminal = report.terminal;
  result.reason = report.reason;
  if (result.accepted) {
    std::fprintf(out, "%s\n", std::string(kStatusMessageSent).c_str());
    std::fflush(out);
  }
  return result;
}

// One attempt in the line's turn: on the line the line service takes.
CallResult RunAttempt(const SendOptions& options, const PageRequest& request, std::FILE* out,
                      std::FILE* err) {
  TakeLineProblems();  // only this attempt's
  LineChoice choice = ChooseLineFor(options, err);
  if (choice.carries_pages) return RunPagesOneCall(options, choice, out, err);
  if (!choice.made) return RunOneCall(options, request, out, err);
  auto previous = SetLineDriver(std::move(choice.driver));
  CallResult result = RunOneCall(options, request, out, err);
  SetLineDriver(std::move(previous));
  return result;
}

// The page log's record of this attempt: the message as the block carries it.
PageAttempt Attempt(const SendOptions& options, const Recipient& recipient,
                    const std::string& number) {
  const std::string message(MessageField(options.message));
  return {"zentrel-send", CurrentUser(), options.pin,  recipient.names,
          number,         message,       options.typed};
}

PageResult Logged(const CallResult& call) {
  PageResult r;
  r.outcome = call.accepted      ? PageOutcome::kAccepted
              : call.interrupted ? PageOutcome::kInterrupted
              : call.answered    ? PageOutcome::kRefused
                                 : PageOutcome::kNotSent;
  if (!call.accepted) r.reason = call.reason;
  r.terminal = call.terminal;
  return r;
}

}  // namespace

int StoreFailed(const CDaoException& e, const std::vector<PageAttempt>& attempts, std::FILE* err) {
  std::fprintf(err, "zentrel-send: %s\n", e.what());
  if (!e.busy()) return kExitUsage;
  // Another program's lock: nothing wrong with the request, the page just
  // did not go; said in the page log like any page that did not go.
  CallLog log(DefaultPageLogPath(), [err](const std::string& text) {
    std::fprintf(err, "zentrel-send: %s\n", text.c_str());
  });
  for (const PageAttempt& attempt : attempts)
    log.Record(attempt, {PageOutcome::kNotSent, e.what(), ""});
  return kExitNotSent;
}

int SendPage(const SendOptions& options, std::FILE* out, std::FILE* err) {
  if (const std::string refusal = PinRefusal(options.pin); !refusal.empty()) {
    std::fprintf(err, "zentrel-send: page not sent: %s\n", refusal.c_str());
    return kExitUsage;
  }
  Recipient recipient;
  try {
    recipient = LookUp(options.db, options.pin);
  } catch (const CDaoException& e) {
    const std::string message(MessageField(options.message));
    return StoreFailed(
        e, {{"zentrel-send", CurrentUser(), options.pin, "", "", message, options.typed}}, err);
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
  CallLog log(DefaultPageLogPath(), [err](const std::string& text) {
    std::fprintf(err, "zentrel-send: %s\n", text.c_str());
  });
  log.Begin(Attempt(options, recipient, number));
  CallResult result;
  const std::string never = InTurn(
      options,
      [&] {
        result = RunAttempt(options, request, out, err);
        return result.line_in_use;
      },
      err);
  if (!never.empty())
    result.reason = never + (result.line_in_use ? " (" + result.reason + ")" : "");
  log.Finish(Logged(result));
  if (result.accepted) return kExitSent;
  std::fprintf(err, "zentrel-send: page not sent: %s\n", TerminalSafe(result.reason).c_str());
  return kExitNotSent;
}

}  // namespace zentrel
