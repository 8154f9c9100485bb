// FormPageLog: the answer is gathered on the read thread under a lock; the
// records are begun and finished on the UI thread, through one log.
#include "delivery/form_page_log.h"

#include "paging/transaction_flags.h"
#include "seriallink/trace.h"

namespace zentrel {

FormPageLog::FormPageLog(ILinkView& form_view, const std::string& log_path)
    : view_(form_view),
      log_(log_path, [](const std::string& text) { OutputDebugStringA(text + "\n"); }) {}

FormPageLog::~FormPageLog() { FinishOpen(); }

int FormPageLog::ProcessReceivedData(const char* text, std::uint32_t length) {
  if (text != nullptr && g_bBlockSent == 1) {
    std::lock_guard lock(mutex_);
    answer_.Feed(text);
  }
  return view_.ProcessReceivedData(text, length);
}

std::uint64_t FormPageLog::Begin(const PageAttempt& attempt) {
  FinishOpen();
  {
    std::lock_guard lock(mutex_);
    answer_ = {};
  }
  log_.Begin(attempt);
  open_ = true;
  return ++begun_;
}

void FormPageLog::Finish(std::uint64_t number) {
  if (number == begun_) FinishOpen();
}

void FormPageLog::FinishOpen() {
  if (!open_) return;
  open_ = false;
  PageResult result;
  result.outcome = g_bPageAccepted == 1 ? PageOutcome::kAccepted
                   : g_bBlockSent == 1  ? PageOutcome::kRefused
                                        : PageOutcome::kNotSent;
  {
    std::lock_guard lock(mutex_);
    result.terminal = answer_.words();
  }
  if (result.outcome != PageOutcome::kAccepted) {
    result.reason = result.outcome == PageOutcome::kRefused
                        ? "refused by the terminal"
                        : "the call ended before the page went out";
  }
  log_.Finish(result);
}

}  // namespace zentrel
