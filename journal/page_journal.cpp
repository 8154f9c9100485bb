// PageJournal: every JournalError is caught here and becomes one warning.
#include "journal/page_journal.h"

#include <pwd.h>
#include <unistd.h>

namespace zentrel {

PageJournal::PageJournal(const std::string& path, WarnFn warn) : warn_(std::move(warn)) {
  try {
    log_ = std::make_unique<PageLog>(path);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
}

PageJournal::~PageJournal() = default;

void PageJournal::Warn(const std::string& what) {
  if (warn_) warn_("page log not written: " + what);
}

void PageJournal::Begin(const PageAttempt& attempt) {
  if (!log_) return;
  try {
    id_ = log_->Begin(attempt);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
}

void PageJournal::Finish(const PageResult& result) {
  if (!log_ || id_ == 0) return;
  try {
    log_->Finish(id_, result);
  } catch (const JournalError& e) {
    Warn(e.what());
  }
}

std::string CurrentUser() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  return std::to_string(::getuid());
}

}  // namespace zentrel
