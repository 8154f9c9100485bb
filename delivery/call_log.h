// The page log as one call writes it: the log is opened once for the call,
// a page's record is begun as the page starts and finished as it ends, so a
// call of a thousand pages holds one connection and one open record. A log
// that can't be written never stops a page: the first failure is said once
// through `warn`, naming the file; what could not be written is held and
// tried again as the call goes on and once more when it ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/page_log.h"

namespace zentrel {

// How long a write waits for another writer of the log. A record written
// while the terminal waits for the next block must not keep it waiting past
// its own time-out; once the call is over there is time to wait.
struct LogWaits {
  int write_ms;  // each write; after a failure, later ones only try
  int end_ms;    // the last try for what is held, as the call ends
};
inline constexpr LogWaits kWritesOutsideTheCall{5000, 5000};
inline constexpr LogWaits kWritesDuringTheCall{250, 5000};

class CallLog {
 public:
  using WarnFn = std::function<void(const std::string&)>;

  CallLog(const std::string& path, WarnFn warn, LogWaits waits = kWritesOutsideTheCall);
  // Writes what is held, waiting for the log once more; what still cannot
  // be written is said, page by page.
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
  // A page whose record could not be written: begun (id) but not finished,
  // or not begun at all (id 0).
  struct Held {
    std::int64_t id = 0;
    PageAttempt attempt;
    PageResult result;
    std::optional<std::string> started;  // when the page began
    std::optional<std::int64_t> duration_ms;
  };

  void Failed(const JournalError& e);
  void Warn(const std::string& what);
  void WriteHeld();
  void SayUnwritten();

  WarnFn warn_;
  LogWaits waits_;
  bool warned_ = false;
  std::unique_ptr<PageLog> log_;
  std::optional<Held> open_;  // the page begun last, until it is finished
  std::chrono::steady_clock::time_point open_since_;
  std::vector<Held> held_;
};

}  // namespace zentrel
