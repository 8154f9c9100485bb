// Opens the queue with SQLITE_OPEN_READONLY (never created, never written;
// WAL readers do not block the daemon) and runs two bound queries: the
// pages, then each page's attempts. Times are stored as Unix seconds and
// turned into the page log's ISO form in SQL, so --since compares alike.
#include "tools/log/gateway_pages.h"

#include <sqlite3.h>

#include <memory>

#include "queue/page_queue.h"

namespace zentrel {
namespace {

constexpr const char* kPages =
    "SELECT id, strftime('%Y-%m-%dT%H:%M:%fZ', queued_at, 'unixepoch'), pin, fname, lname, "
    "phone, text, by_whom, via, state, held, may_be_duplicate, last_reason, merged_into "
    "FROM pages WHERE strftime('%Y-%m-%dT%H:%M:%f', queued_at, 'unixepoch') >= ?1 "
    "AND (?2 = '' OR pin = ?2) "
    "AND (?3 = 0 OR state IN ('refused', 'expired', 'cancelled')) ORDER BY queued_at, id";
constexpr const char* kAttempts =
    "SELECT strftime('%Y-%m-%dT%H:%M:%fZ', at, 'unixepoch'), line, outcome, reason, words, "
    "duration_ms FROM attempts WHERE page = ?1 ORDER BY at, id";

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

[[noreturn]] void Fail(sqlite3* db, const std::string& path) {
  throw QueueFileError("cannot read the gateway's queue " + path + ": " +
                       (db ? sqlite3_errmsg(db) : "out of memory"));
}

Statement Prepare(sqlite3* db, const char* sql, const std::string& path) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) Fail(db, path);
  return Statement(raw, &sqlite3_finalize);
}

std::string Text(sqlite3_stmt* s, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, column))) : "";
}

GatewayPageRow PageRow(sqlite3_stmt* s) {
  GatewayPageRow p;
  p.id = sqlite3_column_int64(s, 0);
  p.queued_at = Text(s, 1);
  p.pin = Text(s, 2);
  const std::string fname = Text(s, 3), lname = Text(s, 4);
  p.names = fname + (fname.empty() || lname.empty() ? "" : " ") + lname;
  p.phone = Text(s, 5);
  p.text = Text(s, 6);
  p.by = Text(s, 7);
  p.via = Text(s, 8);
  p.state = Text(s, 9);
  p.held = sqlite3_column_int(s, 10) != 0;
  p.may_be_duplicate = sqlite3_column_int(s, 11) != 0;
  p.last_reason = Text(s, 12);
  if (sqlite3_column_type(s, 13) != SQLITE_NULL) p.merged_into = sqlite3_column_int64(s, 13);
  return p;
}

void ReadAttempts(sqlite3* db, sqlite3_stmt* s, GatewayPageRow& page, const std::string& path) {
  sqlite3_reset(s);
  sqlite3_bind_int64(s, 1, page.id);
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    page.attempts.push_back(
        {Text(s, 0), Text(s, 1), Text(s, 2), Text(s, 3), Text(s, 4), sqlite3_column_int64(s, 5)});
  }
  if (rc != SQLITE_DONE) Fail(db, path);
}

}  // namespace

std::vector<GatewayPageRow> ReadGatewayPages(const std::string& path, const PageFilter& filter) {
  if (queue::IsDatabaseAddress(path)) return ReadSharedGatewayPages(path, filter);
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  const Db db(raw, &sqlite3_close);
  if (rc != SQLITE_OK) Fail(raw, path);
  sqlite3_busy_timeout(raw, 5000);
  // One read transaction: the pages and their attempts from one moment.
  if (sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) Fail(raw, path);
  const Statement pages = Prepare(raw, kPages, path);
  const Statement attempts = Prepare(raw, kAttempts, path);
  sqlite3_bind_text(pages.get(), 1, filter.since.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(pages.get(), 2, filter.pin.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(pages.get(), 3, filter.failed_only ? 1 : 0);
  std::vector<GatewayPageRow> out;
  int step;
  while ((step = sqlite3_step(pages.get())) == SQLITE_ROW) out.push_back(PageRow(pages.get()));
  if (step != SQLITE_DONE) Fail(raw, path);
  for (GatewayPageRow& page : out) ReadAttempts(raw, attempts.get(), page, path);
  return out;
}

}  // namespace zentrel
