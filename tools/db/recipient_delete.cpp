// One transaction: the matching rows are read first (to name them, or to
// refuse), then deleted by id, on a connection the store opened and checked.
#include "recipient_delete.h"

#include <sqlite3.h>

#include <cstdint>
#include <vector>

#include "store/dao.h"
#include "tool_error.h"

namespace zentrel::dbtool {
namespace {

struct Row {
  std::int64_t id;
  std::string names;
};

[[noreturn]] void FileFailed(sqlite3* db, const std::string& db_path) {
  throw ToolError("Deleting from " + db_path + " failed: " + sqlite3_errmsg(db) +
                  "; nothing was deleted");
}

std::string Column(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text != nullptr ? text : "";
}

// Runs `sql` with `value` bound to ?1, collecting (id, names) rows.
std::vector<Row> Run(sqlite3* db, const std::string& db_path, const char* sql,
                     const std::string& value) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) FileFailed(db, db_path);
  sqlite3_bind_text(stmt, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  std::vector<Row> rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const std::string first = Column(stmt, 1), last = Column(stmt, 2);
    rows.push_back(
        {sqlite3_column_int64(stmt, 0), first + (first.empty() || last.empty() ? "" : " ") + last});
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) FileFailed(db, db_path);
  return rows;
}

std::string Ids(const std::vector<Row>& rows) {
  std::string ids;
  for (const Row& r : rows) ids += (ids.empty() ? "" : ", ") + std::to_string(r.id);
  return ids;
}

void Exec(sqlite3* db, const std::string& db_path, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) FileFailed(db, db_path);
}

}  // namespace

std::string DeleteRecipient(const std::string& db_path, const std::string& pin, bool all) {
  CDaoDatabase db;
  db.Open(db_path);
  sqlite3* handle = db.Handle();
  if (sqlite3_db_readonly(handle, "main") == 1) {
    throw ToolError(db_path + " is read-only (no write permission); nothing was deleted");
  }
  Exec(handle, db_path, "BEGIN IMMEDIATE");
  try {
    const auto rows =
        Run(handle, db_path, "SELECT id, fname, lname FROM VPdata WHERE pin = ?1 ORDER BY id", pin);
    if (rows.empty()) {
      throw ToolError("no recipient has the PIN \"" + pin + "\" in " + db_path +
                      "; nothing was deleted");
    }
    if (rows.size() > 1 && !all) {
      throw ToolError(std::to_string(rows.size()) + " recipients have the PIN \"" + pin +
                      "\" (ids " + Ids(rows) + "); --all deletes them all; nothing was deleted");
    }
    Run(handle, db_path, "DELETE FROM VPdata WHERE pin = ?1", pin);
    Exec(handle, db_path, "COMMIT");
    if (rows.size() > 1)
      return "Deleted the recipients with ids " + Ids(rows) + " (PIN \"" + pin + "\")";
    return "Deleted recipient " + Ids(rows) + " (" + rows[0].names + ", PIN \"" + pin + "\")";
  } catch (...) {
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace zentrel::dbtool
