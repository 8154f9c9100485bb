// FormPageLog: the answer is gathered on the read thread under a lock; the
// records are begun and concluded on the UI thread, through one log.
#include "delivery/form_page_log.h"

#include "paging/transaction_flags.h"
#include "seriallink/trace.h"

namespace zentrel {
namespace {

PageResult Logged(const Outcome& outcome, const std::string& terminal, const std::string& modem) {
  PageResult result;
  result.terminal = terminal;
  switch (outcome.delivery) {
    case Delivery::kAccepted: result.outcome = PageOutcome::kAccepted; return result;
    case Delivery::kRefused: result.outcome = PageOutcome::kRefused; break;
    case Delivery::kNotSent:
      result.outcome = outcome.reason == Reason::kInterrupted ? PageOutcome::kInterrupted
                                                              : PageOutcome::kNotSent;
      break;
  }
  result.reason =
      outcome.delivery == Delivery::kRefused ? "refused by the terminal" : outcome.words;
  if (!modem.empty()) result.reason += " (the modem said \"" + modem + "\")";
  return result;
}

}  // namespace

FormPageLog::FormPageLog(ILinkView& form_view, const std::string& log_path)
    : view_(form_view),
      log_(
          log_path, [](const std::string& text) { OutputDebugStringA(text + "\n"); },
          kWritesDuringTheCall) {}  // on the UI thread, which serves the call

FormPageLog::~FormPageLog() { Conclude({}, {}); }

int FormPageLog::ProcessReceivedData(const char* text, std::uint32_t length) {
  if (text != nullptr && g_bBlockSent == 1) {
    std::lock_guard lock(mutex_);
    answer_.Feed(text);
  }
  return view_.ProcessReceivedData(text, length);
}

void FormPageLog::Begin(const PageAttempt& attempt) {
  Conclude({}, {});
  {
    std::lock_guard lock(mutex_);
    answer_ = {};
  }
  log_.Begin(attempt);
  open_ = true;
  last_ = {};
}

Outcome FormPageLog::OutcomeOf(const CallEndCause& end, const Seen& seen,
                               const std::string& words) const {
  if (g_bPageAccepted == 1) return {Delivery::kAccepted, Reason::kNone, words};
  if (seen.refused) return {Delivery::kRefused, Reason::kTerminalRefused, words};
  if (seen.silent) return {Delivery::kNotSent, Reason::kTimeOut, ReasonWords(Reason::kTimeOut)};
  if (seen.closing) {
    return {Delivery::kNotSent, Reason::kInterrupted, "the window was closed during the call"};
  }
  if (end.kind == Reason::kNone) {
    return {Delivery::kNotSent, Reason::kCallDropped, "the call ended before the page went out"};
  }
  return {Delivery::kNotSent, end.kind, end.words};
}

Outcome FormPageLog::Conclude(const CallEndCause& end, const Seen& seen) {
  if (!open_) return last_;
  open_ = false;
  std::string words;
  {
    std::lock_guard lock(mutex_);
    words = answer_.words();
  }
  last_ = OutcomeOf(end, seen, words);
  log_.Finish(Logged(last_, words, end.modem));
  return last_;
}

Outcome FormPageLog::Finish(const Outcome& outcome) {
  if (!open_) return last_;
  open_ = false;
  last_ = outcome;
  const bool answered = outcome.delivery != Delivery::kNotSent;
  log_.Finish(Logged(outcome, answered ? outcome.words : "", ""));
  return last_;
}

}  // namespace zentrel
