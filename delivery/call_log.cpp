// CallLog: every JournalError is caught here; only the first becomes a
// warning, so a log that fails fails once per call, not once per page.
#include "delivery/call_log.h"

namespace zentrel {

CallLog::CallLog(const std::string& path, WarnFn warn) : warn_(std::move(warn)) {
  try {
    log_ = std::make_unique<PageLog>(path);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
}

CallLog::~CallLog() = default;

void CallLog::Warn(const std::string& what) {
  if (warn_ && !warned_) warn_("page log not written: " + what);
  warned_ = true;
}

void CallLog::Begin(const PageAttempt& attempt) {
  open_id_ = 0;
  if (!log_) return;
  try {
    open_id_ = log_->Begin(attempt);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
}

void CallLog::Finish(const PageResult& result) {
  if (!log_ || open_id_ == 0) return;
  try {
    log_->Finish(open_id_, result);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
  open_id_ = 0;
}

void CallLog::Record(const PageAttempt& attempt, const PageResult& result) {
  Begin(attempt);
  Finish(result);
}

}  // namespace zentrel
