// The page log: every attempt to send a page, in an SQLite file of its own
// (never the recipients' database). A record is written before the call with
// the outcome "interrupted" and completed after it, so a sender that is
// killed mid-call still leaves its record. WAL and a busy time-out let
// several programs write at once; every failure is a JournalError naming
// the file. A log written before the message as typed was kept gets that
// column on opening (empty for its old records).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "journal/page_log_place.h"

struct sqlite3;

namespace zentrel {

class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class PageOutcome { kInterrupted, kAccepted, kRefused, kNotSent };
const char* OutcomeName(PageOutcome outcome);  // "accepted", "not sent", ...

// What is known before the call.
struct PageAttempt {
  std::string program;  // "zentrel-send", "zentrel"
  std::string user;
  std::string pin;
  std::string names;    // the recipient's first and last name
  std::string line;     // the number dialled, or the line used
  std::string message;  // as it goes out, after any cut
  std::string typed;    // as the user typed it (UTF-8), when the sender knows it
};

// What the call came to.
struct PageResult {
  PageOutcome outcome = PageOutcome::kNotSent;
  std::string reason;    // why not accepted, in the user's words
  std::string terminal;  // the terminal's own words
};

struct PageRecord {
  std::int64_t id = 0;
  std::string started;  // UTC, ISO 8601 with milliseconds
  PageAttempt attempt;
  PageOutcome outcome = PageOutcome::kInterrupted;
  std::string reason;
  std::string terminal;
  std::optional<std::int64_t> duration_ms;
};

struct PageFilter {
  std::string since;  // records started at or after this UTC time ("2026-12-07", ...)
  std::string pin;
  bool failed_only = false;  // all but accepted
};

// A moment as the log writes its start times (UTC, milliseconds).
std::string PageLogTime(std::chrono::system_clock::time_point when);

// $ZENTREL_PAGE_LOG, else $XDG_STATE_HOME/zentrel/pages.db, else
// $HOME/.local/state/zentrel/pages.db; "" (no log) when none is set.
std::string DefaultPageLogPath();

// The name of the user running the program (login name, else the uid), as
// a record's "by".
std::string CurrentUser();

class PageLog {
 public:
  // Opens the log where journal/page_log_place.h allows it: for writing,
  // making the file and its folder when missing; for reading, only a file
  // that exists. `busy_timeout_ms` bounds the wait for another writer.
  explicit PageLog(const std::string& path, int busy_timeout_ms = 5000,
                   LogAccess access = LogAccess::kWrite);
  ~PageLog();
  PageLog(const PageLog&) = delete;
  PageLog& operator=(const PageLog&) = delete;

  // How long a write waits for another writer from now on.
  void SetBusyTimeout(int busy_timeout_ms);
  const std::string& path() const { return path_; }

  // Returns the record's id. `started` (PageLogTime) is for a record
  // written after its page began; by default the database's clock.
  std::int64_t Begin(const PageAttempt& attempt,
                     const std::optional<std::string>& started = std::nullopt);
  // `duration_ms` likewise; by default from the record's start to now.
  void Finish(std::int64_t id, const PageResult& result,
              std::optional<std::int64_t> duration_ms = std::nullopt);
  std::vector<PageRecord> List(const PageFilter& filter) const;

 private:
  void Exec(const char* sql);
  bool HasTypedColumn() const;
  void AddTypedColumn();
  std::string path_;
  sqlite3* db_ = nullptr;
};

}  // namespace zentrel
