// FormPageLog: the answer is gathered on the read thread under a lock; the
// records are begun and finished on the UI thread.
#include "app/form_page_log.h"

#include "paging/transaction_flags.h"
#include "seriallink/trace.h"

namespace zentrel {

FormPageLog::FormPageLog(ILinkView& form_view, std::string log_path)
    : view_(form_view), path_(std::move(log_path)) {}

FormPageLog::~FormPageLog() { Finish(); }

int FormPageLog::ProcessReceivedData(const char* text, std::uint32_t length) {
  if (text != nullptr && g_bBlockSent == 1) {
    std::lock_guard lock(mutex_);
    answer_.Feed(text);
  }
  return view_.ProcessReceivedData(text, length);
}

void FormPageLog::Begin(const PageAttempt& attempt) {
  Finish();
  {
    std::lock_guard lock(mutex_);
    answer_ = {};
  }
  journal_ = std::make_unique<PageJournal>(
      path_, [](const std::string& text) { OutputDebugStringA(text + "\n"); });
  journal_->Begin(attempt);
}

void FormPageLog::Update(bool call_over) {
  if (call_over) Finish();
}

void FormPageLog::Finish() {
  if (!journal_) return;
  PageResult result;
  result.outcome = g_bPageAccepted == 1 ? PageOutcome::kAccepted
                   : g_bBlockSent == 1  ? PageOutcome::kRefused
                                        : PageOutcome::kNotSent;
  {
    std::lock_guard lock(mutex_);
    result.terminal = answer_.words();
  }
  if (result.outcome != PageOutcome::kAccepted) {
    result.reason = result.outcome == PageOutcome::kRefused ? "refused by the terminal"
                                                             : "the call ended before the page went out";
  }
  journal_->Finish(result);
  journal_.reset();
}

}  // namespace zentrel
