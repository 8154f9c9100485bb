// CallLog: every JournalError is caught here; only the first is a warning.
// After a failure the log is only tried, never waited for, until it takes
// what it refused, so a locked log holds no page back. Records that did not
// go in are held with their own start and duration and written, oldest
// first, as soon as the log takes them: a record never shows "interrupted"
// for a page whose end is known.
#include "delivery/call_log.h"

namespace zentrel {

CallLog::CallLog(const std::string& path, WarnFn warn, LogWaits waits)
    : warn_(std::move(warn)), waits_(waits) {
  try {
    log_ = std::make_unique<PageLog>(path, waits.write_ms);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
}

CallLog::~CallLog() {
  if (!log_ || held_.empty()) return;
  log_->SetBusyTimeout(waits_.end_ms);
  WriteHeld();
  SayUnwritten();
}

void CallLog::Warn(const std::string& what) {
  if (warn_ && !warned_) warn_("page log not written: " + what);
  warned_ = true;
}

void CallLog::Failed(const JournalError& e) {
  Warn(e.what());
  log_->SetBusyTimeout(0);
}

void CallLog::WriteHeld() {
  std::size_t written = 0;
  try {
    for (Held& h : held_) {
      if (h.id == 0) h.id = log_->Begin(h.attempt, h.started);
      log_->Finish(h.id, h.result, h.duration_ms);
      ++written;
    }
  } catch (const JournalError& e) {
    Failed(e);
  }
  held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(written));
  if (held_.empty() && written > 0) log_->SetBusyTimeout(waits_.write_ms);  // well again
}

// At the end of the call: each page the log is still wrong or silent about.
void CallLog::SayUnwritten() {
  if (!warn_) return;
  for (const Held& h : held_) {
    const std::string page =
        "the page to " + h.attempt.pin + " (" + OutcomeName(h.result.outcome) + ")";
    warn_(h.id == 0 ? "page log " + log_->path() + " has no record of " + page
                    : "page log " + log_->path() + " shows record " + std::to_string(h.id) +
                          " as \"interrupted\"; it was " + page);
  }
}

void CallLog::Begin(const PageAttempt& attempt) {
  open_ = Held{0, attempt, {}, PageLogTime(std::chrono::system_clock::now()), std::nullopt};
  open_since_ = std::chrono::steady_clock::now();
  if (!log_) return;
  if (!held_.empty()) WriteHeld();
  if (!held_.empty()) return;  // the log still refuses: this record waits behind them
  try {
    open_->id = log_->Begin(attempt);
  } catch (const JournalError& e) {
    Failed(e);
  }
}

void CallLog::Finish(const PageResult& result) {
  if (!log_ || !open_) return;
  open_->result = result;
  open_->duration_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - open_since_)
                           .count();
  if (open_->id != 0 && held_.empty()) {
    try {
      log_->Finish(open_->id, result);
      open_.reset();
      return;
    } catch (const JournalError& e) {
      Failed(e);
    }
  }
  held_.push_back(std::move(*open_));
  open_.reset();
  WriteHeld();
}

void CallLog::Record(const PageAttempt& attempt, const PageResult& result) {
  Begin(attempt);
  Finish(result);
}

}  // namespace zentrel
