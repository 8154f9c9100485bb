// Import parses the whole CSV first, checks it against itself and the
// table's PINs, then inserts through one prepared statement inside one
// transaction on a connection opened (and checked) by the store; ids come
// from the table's integer key. A fault of one row names its line; a fault
// of the file (read-only, full, locked) names the file. Export walks CZTSet,
// and writes nothing until the file has opened.
#include "recipients_csv.h"

#include <sqlite3.h>

#include "base/safe_text.h"
#include "csv.h"
#include "import_checks.h"
#include "store/dao.h"
#include "tool_error.h"

namespace zentrel::dbtool {

namespace {

const std::vector<std::string> kHeader{"pin", "fname", "lname", "pagephone"};

[[noreturn]] void FileFailed(sqlite3* db, const std::string& db_path) {
  throw ToolError("Import into " + db_path + " failed: " + sqlite3_errmsg(db) +
                  "; nothing was imported");
}

void Exec(sqlite3* db, const std::string& db_path, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) FileFailed(db, db_path);
}

// Only these results come from the row itself; any other is the file's.
bool IsRowFault(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_CONSTRAINT || primary == SQLITE_TOOBIG || primary == SQLITE_MISMATCH;
}

TablePins ReadTablePins(sqlite3* db, const std::string& db_path) {
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT id, pin FROM VPdata WHERE pin IS NOT NULL", -1, &select,
                         nullptr) != SQLITE_OK) {
    FileFailed(db, db_path);
  }
  TablePins pins;
  int rc;
  while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(select, 1));
    pins.emplace(std::string(text != nullptr ? text : "", size), sqlite3_column_int64(select, 0));
  }
  sqlite3_finalize(select);
  if (rc != SQLITE_DONE) FileFailed(db, db_path);
  return pins;
}

void InsertAll(sqlite3* db, const std::string& db_path, const std::vector<CsvRecord>& records) {
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES(?,?,?,?)", -1,
                         &insert, nullptr) != SQLITE_OK) {
    FileFailed(db, db_path);
  }
  for (std::size_t r = 1; r < records.size(); ++r) {
    for (int c = 0; c < 4; ++c) {
      const std::string& field = records[r].fields[static_cast<std::size_t>(c)];
      sqlite3_bind_text64(insert, c + 1, field.data(), field.size(), SQLITE_STATIC, SQLITE_UTF8);
    }
    const int rc = sqlite3_step(insert);
    if (rc != SQLITE_DONE) {
      const std::string message = sqlite3_errmsg(db);
      sqlite3_finalize(insert);
      if (!IsRowFault(rc)) FileFailed(db, db_path);
      throw ToolError("line " + std::to_string(records[r].line) + ": " + message +
                      "; nothing was imported");
    }
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
}

}  // namespace

std::size_t ImportRecipients(const std::string& db_path, std::string_view csv,
                             const ImportRules& rules, std::vector<std::string>* notes) {
  if (csv.starts_with("\xEF\xBB\xBF")) csv.remove_prefix(3);  // a byte-order mark
  auto records = ParseCsv(csv, kHeader.size());
  for (std::size_t r = 1; r < records.size(); ++r) {
    for (std::string& field : records[r].fields) field = std::string(UnguardCell(field));
  }
  if (records.empty() || records[0].fields != kHeader) {
    throw ToolError("line 1: the first line must be the header pin,fname,lname,pagephone");
  }
  CDaoDatabase db;
  db.Open(db_path);
  if (sqlite3_db_readonly(db.Handle(), "main") == 1) {
    throw ToolError(db_path + " is read-only (no write permission); nothing was imported");
  }
  Exec(db.Handle(), db_path, "BEGIN IMMEDIATE");
  try {
    std::vector<std::string> said;
    CheckImport(records, ReadTablePins(db.Handle(), db_path), db_path, rules, said);
    InsertAll(db.Handle(), db_path, records);
    Exec(db.Handle(), db_path, "COMMIT");
    if (notes != nullptr) *notes = std::move(said);
  } catch (...) {
    sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return records.size() - 1;
}

void ExportRecipients(const std::string& db_path, std::ostream& out) {
  CZTSet set(nullptr, db_path);
  set.Open();  // first: a file that does not open gets no header either
  out << FormatCsvRecord(kHeader);
  for (; !set.IsEOF(); set.MoveNext()) {
    out << FormatCsvRecord({set.m_pin, set.m_fname, set.m_lname, set.m_pagephone});
  }
}

}  // namespace zentrel::dbtool
