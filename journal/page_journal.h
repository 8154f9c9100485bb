// One attempt's record in the page log, as a sender writes it: begun before
// the call, finished after. A log that can't be opened or written never stops
// a page: each failure is said once through `warn` and the send goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "journal/page_log.h"

namespace zentrel {

class PageJournal {
 public:
  using WarnFn = std::function<void(const std::string&)>;

  PageJournal(const std::string& path, WarnFn warn);
  ~PageJournal();

  void Begin(const PageAttempt& attempt);
  void Finish(const PageResult& result);  // no-op when Begin failed

 private:
  void Warn(const std::string& what);
  WarnFn warn_;
  std::unique_ptr<PageLog> log_;
  std::int64_t id_ = 0;
};

// The name of the user running the program (login name, else the uid).
std::string CurrentUser();

}  // namespace zentrel
