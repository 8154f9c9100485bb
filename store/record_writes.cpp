// Builds the INSERT, UPDATE and DELETE for one record from the table's
// column names (never from caller text) and binds every value. A record
// that another program deleted meanwhile is reported, not silently skipped.
#include "store/record_writes.h"

#include <sqlite3.h>

#include "store/result_rows.h"
#include "store/statement.h"

namespace zentrel::store {

namespace {

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

const std::string& ColumnName(const TableDef& table, int position) {
  return table.columns[static_cast<std::size_t>(position)];
}

[[noreturn]] void ThrowGone(const CDaoDatabase& db, const TableDef& table) {
  throw CDaoException("The record was deleted from " + table.name + " of " + db.Name() +
                      " by another program; nothing was saved");
}

std::vector<DaoValue> ReadRecord(const CDaoDatabase& db, const TableDef& table,
                                 std::int64_t rowid) {
  std::string sql = "SELECT rowid";
  for (const auto& column : table.columns) sql += ", " + Quoted(column);
  Statement select(db, sql + " FROM " + Quoted(table.name) + " WHERE rowid = ?1");
  select.BindInt(1, rowid);
  if (!select.Step("Reading back the saved record failed")) ThrowGone(db, table);
  ResultRows one;
  const int columns = static_cast<int>(table.columns.size());
  one.Clear(columns);
  one.Append(select.Raw());
  std::vector<DaoValue> values;
  for (int c = 0; c < columns; ++c) values.push_back(one.Value(0, c));
  return values;
}

}  // namespace

void InsertRecord(const CDaoDatabase& db, const TableDef& table, std::int64_t id,
                  const PendingColumns& values) {
  std::string sql = "INSERT INTO " + Quoted(table.name) + " (id";
  std::string marks = "?1";
  for (const auto& value : values) {
    sql += ", " + Quoted(ColumnName(table, value.first));
    marks += ", ?";
  }
  Statement insert(db, sql + ") VALUES (" + marks + ")");
  insert.BindInt(1, id);
  for (std::size_t i = 0; i < values.size(); ++i) {
    insert.BindText(static_cast<int>(i) + 2, values[i].second);
  }
  insert.Step("Saving a new record to " + table.name + " of " + db.Name() + " failed");
}

std::vector<DaoValue> UpdateRecord(const CDaoDatabase& db, const TableDef& table,
                                   std::int64_t rowid, const PendingColumns& values) {
  if (!values.empty()) {
    std::string sql = "UPDATE " + Quoted(table.name) + " SET ";
    for (std::size_t i = 0; i < values.size(); ++i) {
      sql += (i > 0 ? ", " : "") + Quoted(ColumnName(table, values[i].first)) + " = ?" +
             std::to_string(i + 1);
    }
    Statement update(db, sql + " WHERE rowid = ?" + std::to_string(values.size() + 1));
    for (std::size_t i = 0; i < values.size(); ++i) {
      update.BindText(static_cast<int>(i) + 1, values[i].second);
    }
    update.BindInt(static_cast<int>(values.size()) + 1, rowid);
    update.Step("Saving a changed record to " + table.name + " of " + db.Name() + " failed");
    if (sqlite3_changes(db.Handle()) == 0) ThrowGone(db, table);
  }
  return ReadRecord(db, table, rowid);
}

void DeleteRecord(const CDaoDatabase& db, const TableDef& table, std::int64_t rowid) {
  Statement remove(db, "DELETE FROM " + Quoted(table.name) + " WHERE rowid = ?1");
  remove.BindInt(1, rowid);
  remove.Step("Deleting from " + table.name + " of " + db.Name() + " failed");
  if (sqlite3_changes(db.Handle()) == 0) {
    throw CDaoException("The record was already deleted from " + table.name + " of " + db.Name() +
                        " by another program");
  }
}

}  // namespace zentrel::store
