// Import parses the whole CSV first, then inserts through one prepared
// statement inside one transaction on a connection opened (and checked) by
// the store; ids come from the table's integer key. Export walks CZTSet.
#include "recipients_csv.h"

#include <sqlite3.h>

#include "csv.h"
#include "store/dao.h"
#include "tool_error.h"

namespace zentrel::dbtool {

namespace {

const std::vector<std::string> kHeader{"pin", "fname", "lname", "pagephone"};

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw ToolError(std::string("Import failed: ") + sqlite3_errmsg(db));
  }
}

void InsertAll(sqlite3* db, const std::vector<CsvRecord>& records) {
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES(?,?,?,?)",
                         -1, &insert, nullptr) != SQLITE_OK) {
    throw ToolError(std::string("Import failed: ") + sqlite3_errmsg(db));
  }
  for (std::size_t r = 1; r < records.size(); ++r) {
    for (int c = 0; c < 4; ++c) {
      const std::string& field = records[r].fields[static_cast<std::size_t>(c)];
      sqlite3_bind_text64(insert, c + 1, field.data(), field.size(), SQLITE_STATIC, SQLITE_UTF8);
    }
    if (sqlite3_step(insert) != SQLITE_DONE) {
      const std::string message = sqlite3_errmsg(db);
      sqlite3_finalize(insert);
      throw ToolError("line " + std::to_string(records[r].line) + ": " + message);
    }
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
}

}  // namespace

std::size_t ImportRecipients(const std::string& db_path, std::string_view csv) {
  if (csv.starts_with("\xEF\xBB\xBF")) csv.remove_prefix(3);  // a byte-order mark
  const auto records = ParseCsv(csv, kHeader.size());
  if (records.empty() || records[0].fields != kHeader) {
    throw ToolError("line 1: the first line must be the header pin,fname,lname,pagephone");
  }
  CDaoDatabase db;
  db.Open(db_path);
  Exec(db.Handle(), "BEGIN IMMEDIATE");
  try {
    InsertAll(db.Handle(), records);
    Exec(db.Handle(), "COMMIT");
  } catch (...) {
    sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return records.size() - 1;
}

void ExportRecipients(const std::string& db_path, std::ostream& out) {
  out << FormatCsvRecord(kHeader);
  CZTSet set(nullptr, db_path);
  set.Open();
  for (; !set.IsEOF(); set.MoveNext()) {
    out << FormatCsvRecord({set.m_pin, set.m_fname, set.m_lname, set.m_pagephone});
  }
}

}  // namespace zentrel::dbtool
