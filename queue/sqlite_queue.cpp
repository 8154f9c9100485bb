// The SQLite queue's file, schema and the submitter's side: storing pages
// (with the dedupe merge), reading them back, and a person's changes
// (cancel, retry, hold, release).
#include "queue/sqlite_queue.h"

#include <cstdlib>

namespace zentrel::queue {

namespace {

// gateway_lines: what each gateway last wrote about its lines (one here).
// merged_into: this submission went out as that page. block_out: the
// worker said its first block was going out and no answer was recorded yet.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS pages(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  pin TEXT NOT NULL, fname TEXT NOT NULL, lname TEXT NOT NULL, phone TEXT NOT NULL,
  text TEXT NOT NULL, priority INTEGER NOT NULL DEFAULT 0,
  split INTEGER NOT NULL DEFAULT 0, max_chars INTEGER NOT NULL DEFAULT 0,
  queued_at REAL NOT NULL, by_whom TEXT NOT NULL, via TEXT NOT NULL,
  not_before REAL NOT NULL, expires_at REAL NOT NULL, next_try REAL NOT NULL,
  state TEXT NOT NULL, held INTEGER NOT NULL DEFAULT 0, tries INTEGER NOT NULL DEFAULT 0,
  last_reason TEXT NOT NULL DEFAULT '', may_be_duplicate INTEGER NOT NULL DEFAULT 0,
  block_out INTEGER NOT NULL DEFAULT 0, merged_into INTEGER REFERENCES pages(id));
CREATE INDEX IF NOT EXISTS pages_due ON pages(state, next_try);
CREATE INDEX IF NOT EXISTS pages_text ON pages(pin, queued_at);
CREATE TABLE IF NOT EXISTS attempts(
  id INTEGER PRIMARY KEY, page INTEGER NOT NULL REFERENCES pages(id),
  at REAL NOT NULL, line TEXT NOT NULL, outcome TEXT NOT NULL, reason TEXT NOT NULL,
  words TEXT NOT NULL, duration_ms INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS attempts_page ON attempts(page);
CREATE TABLE IF NOT EXISTS gateway_lines(
  gateway TEXT NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL, state TEXT NOT NULL,
  pages TEXT NOT NULL, since REAL NOT NULL, rest_until REAL NOT NULL,
  failures INTEGER NOT NULL, calls INTEGER NOT NULL, busy_s REAL NOT NULL,
  updated_at REAL NOT NULL, fresh_until REAL NOT NULL, PRIMARY KEY(gateway, position));
)";

constexpr const char* kColumns =
    "id, pin, fname, lname, phone, text, priority, queued_at, by_whom, via, not_before, "
    "expires_at, next_try, state, held, last_reason, may_be_duplicate, merged_into, split, "
    "max_chars";

Page PageFromRow(const sql::Statement& row) {
  Page page;
  page.id = row.Int(0);
  page.pin = row.Text(1);
  page.fname = row.Text(2);
  page.lname = row.Text(3);
  page.phone = row.Text(4);
  page.text = row.Text(5);
  page.priority = static_cast<int>(row.Int(6));
  page.queued_at = row.Real(7);
  page.by = row.Text(8);
  page.via = row.Text(9);
  page.not_before = row.Real(10);
  page.expires_at = row.Real(11);
  page.next_try = row.Real(12);
  page.state = StateFromName(row.Text(13)).value_or(PageState::kQueued);
  page.held = row.Int(14) != 0;
  page.last_reason = row.Text(15);
  page.may_be_duplicate = row.Int(16) != 0;
  if (!row.IsNull(17)) page.merged_into = row.Int(17);
  page.split = row.Int(18) != 0;
  page.max_chars = static_cast<int>(row.Int(19));
  return page;
}

}  // namespace

SqliteQueue::SqliteQueue(const std::string& path, const RetryPolicy& policy)
    : db_(path), policy_(policy) {
  db_.Exec("PRAGMA journal_mode=WAL");
  db_.Exec("PRAGMA synchronous=FULL");
  db_.Exec("PRAGMA foreign_keys=ON");
  CreateSchema();
}

void SqliteQueue::CreateSchema() {
  sql::Transaction t(db_);
  db_.Exec(kSchema);
  t.Commit();
}

std::vector<PageId> SqliteQueue::Submit(const std::vector<NewPage>& pages, double now) {
  sql::Transaction t(db_);
  std::vector<PageId> ids;
  for (const NewPage& page : pages) ids.push_back(Insert(page, now));
  t.Commit();
  return ids;
}

std::optional<PageId> SqliteQueue::DuplicateOf(const NewPage& page, double now) {
  auto find = db_.Prepare(
      "SELECT id FROM pages WHERE pin = ?1 AND text = ?2 AND queued_at >= ?3 "
      "AND merged_into IS NULL AND state IN ('queued', 'on the line', 'accepted') "
      "ORDER BY id LIMIT 1");
  find.Bind(page.pin, page.text, now - policy_.dedupe_window);
  if (!find.Step()) return std::nullopt;
  return find.Int(0);
}

PageId SqliteQueue::Insert(const NewPage& page, double now) {
  const std::optional<PageId> original = DuplicateOf(page, now);
  const double not_before = page.not_before > now ? page.not_before : now;
  auto insert = db_.Prepare(
      "INSERT INTO pages(pin, fname, lname, phone, text, priority, queued_at, by_whom, via, "
      "not_before, expires_at, next_try, state, merged_into, split, max_chars) "
      "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?10, ?12, ?13, ?14, ?15)");
  insert.Bind(page.pin, page.fname, page.lname, page.phone, page.text,
              static_cast<std::int64_t>(page.priority), now, page.by, page.via, not_before,
              not_before + policy_.expire_after, std::string(original ? "merged" : "queued"),
              original ? sql::Value(*original) : sql::Value(nullptr),
              static_cast<std::int64_t>(page.split), static_cast<std::int64_t>(page.max_chars));
  insert.Run();
  return db_.LastId();
}

std::optional<Page> SqliteQueue::ReadRow(PageId id) {
  auto read = db_.Prepare(std::string("SELECT ") + kColumns + " FROM pages WHERE id = ?1");
  read.Bind(id);
  if (!read.Step()) return std::nullopt;
  return PageFromRow(read);
}

void SqliteQueue::ReadDetails(Page& page) {
  auto merged = db_.Prepare("SELECT id FROM pages WHERE merged_into = ?1 ORDER BY id");
  merged.Bind(page.id);
  while (merged.Step()) page.merged_ids.push_back(merged.Int(0));
  auto tries = db_.Prepare(
      "SELECT at, line, outcome, reason, words, duration_ms FROM attempts WHERE page = ?1 "
      "ORDER BY id");
  tries.Bind(page.id);
  while (tries.Step()) {
    page.attempts.push_back(Attempt{tries.Real(0), tries.Text(1), tries.Text(2), tries.Text(3),
                                    tries.Text(4), tries.Int(5)});
  }
}

// A merged submission shows the page it went out as: its state, its tries.
std::optional<Page> SqliteQueue::Find(PageId id) {
  std::optional<Page> own = ReadRow(id);
  if (!own || !own->merged_into) {
    if (own) ReadDetails(*own);
    return own;
  }
  std::optional<Page> sent = ReadRow(*own->merged_into);
  if (!sent) return own;
  ReadDetails(*sent);
  return ShownAsSent(*own, std::move(*sent));
}

std::vector<Page> SqliteQueue::Newest(std::size_t limit) {
  std::vector<PageId> ids;
  auto list = db_.Prepare("SELECT id FROM pages ORDER BY id DESC LIMIT ?1");
  list.Bind(static_cast<std::int64_t>(limit));
  while (list.Step()) ids.push_back(list.Int(0));
  std::vector<Page> pages;
  for (PageId id : ids) {
    if (auto page = Find(id)) pages.push_back(std::move(*page));
  }
  return pages;
}

// One query for a whole watch: the ids come in as one JSON array.
std::vector<PageId> SqliteQueue::Settled(const std::vector<PageId>& ids) {
  auto read = db_.Prepare(
      "SELECT w.value FROM json_each(?1) w LEFT JOIN pages p ON p.id = w.value "
      "LEFT JOIN pages s ON s.id = p.merged_into WHERE p.id IS NULL "
      "OR COALESCE(s.state, p.state) NOT IN ('queued', 'on the line') ORDER BY w.key");
  read.Bind("[" + JoinIds(ids, ",") + "]");
  std::vector<PageId> settled;
  while (read.Step()) settled.push_back(read.Int(0));
  return settled;
}

PageId SqliteQueue::Target(PageId id) {
  auto read = db_.Prepare("SELECT merged_into FROM pages WHERE id = ?1");
  read.Bind(id);
  if (read.Step() && !read.IsNull(0)) return read.Int(0);
  return id;
}

ChangeResult SqliteQueue::Apply(PageId id, queue::Change change, double now) {
  sql::Transaction t(db_);
  std::optional<Page> page = ReadRow(Target(id));
  if (!page) return ChangeResult{ChangeResult::Status::kNoSuchPage, std::nullopt};
  const ChangeResult::Status status = ApplyTo(*page, change, now);
  t.Commit();
  return ChangeResult{status, Find(id)};
}

// Cancel and retry need the page off the line (a block may be going out);
// hold and release only mark it, for the next time it is due.
ChangeResult::Status SqliteQueue::ApplyTo(Page& page, queue::Change change, double now) {
  using Status = ChangeResult::Status;
  const bool final = IsFinal(page.state);
  const bool on_line = page.state == PageState::kOnTheLine;
  const char* update = nullptr;
  switch (change) {
    case Change::kCancel:
      if (final) return Status::kFinal;
      if (on_line) return Status::kOnTheLine;
      update = "UPDATE pages SET state = 'cancelled' WHERE id = ?1";
      break;
    case Change::kRetry:
      if (page.state == PageState::kAccepted || page.state == PageState::kCancelled) {
        return Status::kFinal;
      }
      if (on_line) return Status::kOnTheLine;
      update =
          "UPDATE pages SET state = 'queued', next_try = ?2, not_before = MIN(not_before, ?2), "
          "expires_at = MAX(expires_at, ?2 + ?3) WHERE id = ?1";
      break;
    case Change::kHold:
    case Change::kRelease:
      if (final) return Status::kFinal;
      update = change == queue::Change::kHold ? "UPDATE pages SET held = 1 WHERE id = ?1"
                                              : "UPDATE pages SET held = 0 WHERE id = ?1";
      break;
  }
  auto run = db_.Prepare(update);
  if (change == queue::Change::kRetry) {
    run.Bind(page.id, now, policy_.expire_after);
  } else {
    run.Bind(page.id);
  }
  run.Run();
  return Status::kDone;
}

std::unique_ptr<PageQueue> OpenSqliteQueue(const std::string& path, const RetryPolicy& policy) {
  return std::make_unique<SqliteQueue>(path, policy);
}

std::string DefaultQueuePath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state) return std::string(state) + "/zentrel/queue.db";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.local/state/zentrel/queue.db";
}

}  // namespace zentrel::queue
