// The page log as one call writes it: the log is opened once for the call,
// a page's record is begun as the page starts and finished as it ends, and
// nothing of a page is kept once its record is finished, so a call of a
// thousand pages holds one connection and one open record. A log that
// can't be opened or written never stops a page: each failure is said once
// through `warn` and the call goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "journal/page_log.h"

namespace zentrel {

class CallLog {
 public:
  using WarnFn = std::function<void(const std::string&)>;

  CallLog(const std::string& path, WarnFn warn);
  ~CallLog();
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  // Begins the record of the page now starting.
  void Begin(const PageAttempt& attempt);
  // Finishes the record begun last.
  void Finish(const PageResult& result);
  // A page that never started: its record, begun and finished at once.
  void Record(const PageAttempt& attempt, const PageResult& result);

 private:
  void Warn(const std::string& what);

  WarnFn warn_;
  bool warned_ = false;
  std::unique_ptr<PageLog> log_;
  std::int64_t open_id_ = 0;
};

}  // namespace zentrel
