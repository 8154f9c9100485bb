// The page log over SQLite's C API. Values are always bound, never spliced
// into SQL. The start time is the database's clock in UTC; the duration is
// measured by the database too, from the start to the completion.
#include "journal/page_log.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace zentrel {
namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS pages (
  id INTEGER PRIMARY KEY,
  started TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),
  program TEXT NOT NULL, user TEXT NOT NULL, pin TEXT NOT NULL,
  names TEXT NOT NULL, line TEXT NOT NULL, message TEXT NOT NULL,
  outcome TEXT NOT NULL DEFAULT 'interrupted',
  reason TEXT NOT NULL DEFAULT '', terminal TEXT NOT NULL DEFAULT '',
  duration_ms INTEGER, typed TEXT NOT NULL DEFAULT '');
CREATE INDEX IF NOT EXISTS pages_started ON pages(started);)";

constexpr const char* kBegin = R"(
INSERT INTO pages (started, program, user, pin, names, line, message, typed)
VALUES (COALESCE(?8, strftime('%Y-%m-%dT%H:%M:%fZ', 'now')), ?1, ?2, ?3, ?4, ?5, ?6, ?7))";

constexpr const char* kFinish = R"(
UPDATE pages SET outcome = ?2, reason = ?3, terminal = ?4,
  duration_ms = COALESCE(?5,
    CAST(ROUND((julianday('now') - julianday(started)) * 86400000) AS INTEGER))
WHERE id = ?1)";

constexpr const char* kList = R"(
SELECT id, started, program, user, pin, names, line, message, outcome, reason,
       terminal, duration_ms, typed FROM pages
WHERE (?1 = '' OR started >= ?1) AND (?2 = '' OR pin = ?2)
  AND (?3 = 0 OR outcome <> 'accepted')
ORDER BY started, id)";

// One prepared statement, finalized on every path. Its errors name the file.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql, const std::string& path) : db_(db), path_(path) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) Throw();
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement& Bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& Bind(int index, const std::optional<std::int64_t>& value) {
    return value ? Bind(index, *value) : BindNull(index);
  }
  Statement& Bind(int index, const std::optional<std::string>& value) {
    return value ? Bind(index, *value) : BindNull(index);
  }
  Statement& BindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
  }
  bool Step() {  // true while rows come
    const int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) Throw();
    return rc == SQLITE_ROW;
  }
  std::string Text(int column) const {  // whole, a NUL inside it too
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, sqlite3_column_bytes(stmt_, column)) : "";
  }
  std::optional<std::int64_t> Int(int column) const {
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(stmt_, column);
  }
  [[noreturn]] void Throw() const { throw JournalError(path_ + ": " + sqlite3_errmsg(db_)); }

 private:
  sqlite3* db_;
  const std::string& path_;
  sqlite3_stmt* stmt_ = nullptr;
};

const char* const kOutcomeNames[] = {"interrupted", "accepted", "refused", "not sent"};

PageOutcome OutcomeFromName(const std::string& name) {
  for (int i = 0; i < 4; ++i)
    if (name == kOutcomeNames[i]) return static_cast<PageOutcome>(i);
  return PageOutcome::kInterrupted;
}

PageRecord ReadRecord(const Statement& row) {
  PageRecord r;
  r.id = row.Int(0).value_or(0);
  r.started = row.Text(1);
  r.attempt = {row.Text(2), row.Text(3), row.Text(4), row.Text(5),
               row.Text(6), row.Text(7), row.Text(12)};
  r.outcome = OutcomeFromName(row.Text(8));
  r.reason = row.Text(9);
  r.terminal = row.Text(10);
  r.duration_ms = row.Int(11);
  return r;
}

}  // namespace

const char* OutcomeName(PageOutcome outcome) { return kOutcomeNames[static_cast<int>(outcome)]; }

PageLog::PageLog(const std::string& path, int busy_timeout_ms, LogAccess access) : path_(path) {
  CheckPageLogPlace(path, access);
  const int rc =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
  if (rc != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    throw JournalError("cannot open the page log " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, busy_timeout_ms);
  try {
    Exec("PRAGMA journal_mode=WAL");
    // A record survives the sender being killed at any moment; only a power
    // cut may lose the newest ones. Syncing every commit instead would hold
    // each page of a long call back by a disk flush.
    Exec("PRAGMA synchronous=NORMAL");
    Exec(kSchema);
    AddTypedColumn();
  } catch (const JournalError&) {
    sqlite3_close(db_);
    throw;
  }
}

PageLog::~PageLog() { sqlite3_close(db_); }

void PageLog::SetBusyTimeout(int busy_timeout_ms) { sqlite3_busy_timeout(db_, busy_timeout_ms); }

void PageLog::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string why = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    throw JournalError(path_ + ": " + why);
  }
}

bool PageLog::HasTypedColumn() const {
  Statement columns(db_, "SELECT 1 FROM pragma_table_info('pages') WHERE name = 'typed'", path_);
  return columns.Step();
}

// A log from before the typed column gets it, in place. A log that has it
// is only read; otherwise the second look and the change are one write
// transaction, so two programs opening the same old log at once add it
// once, and a failure leaves the file as it was.
void PageLog::AddTypedColumn() {
  if (HasTypedColumn()) return;
  Exec("BEGIN IMMEDIATE");
  try {
    if (!HasTypedColumn()) Exec("ALTER TABLE pages ADD COLUMN typed TEXT NOT NULL DEFAULT ''");
    Exec("COMMIT");
  } catch (const JournalError&) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::int64_t PageLog::Begin(const PageAttempt& a, const std::optional<std::string>& started) {
  Statement insert(db_, kBegin, path_);
  insert.Bind(1, a.program).Bind(2, a.user).Bind(3, a.pin).Bind(4, a.names);
  insert.Bind(5, a.line).Bind(6, a.message).Bind(7, a.typed).Bind(8, started).Step();
  return sqlite3_last_insert_rowid(db_);
}

void PageLog::Finish(std::int64_t id, const PageResult& result,
                     std::optional<std::int64_t> duration_ms) {
  Statement update(db_, kFinish, path_);
  update.Bind(1, id).Bind(2, std::string(OutcomeName(result.outcome)));
  update.Bind(3, result.reason).Bind(4, result.terminal).Bind(5, duration_ms).Step();
}

std::string PageLogTime(std::chrono::system_clock::time_point when) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms % 1000));
  return text;
}

std::vector<PageRecord> PageLog::List(const PageFilter& filter) const {
  Statement select(db_, kList, path_);
  select.Bind(1, filter.since).Bind(2, filter.pin).Bind(3, std::int64_t{filter.failed_only});
  std::vector<PageRecord> records;
  while (select.Step()) records.push_back(ReadRecord(select));
  return records;
}

std::string CurrentUser() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  return std::to_string(::getuid());
}

}  // namespace zentrel
