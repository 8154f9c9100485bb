// The private state of a CDaoRecordset: which table it reads, its prepared
// statements (kept per connection and re-prepared if the connection
// changes), the rows of the last query, the current position, which rows it
// deleted, and the pending add or edit.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "store/dao.h"
#include "store/result_rows.h"
#include "store/schema.h"
#include "store/statement.h"

namespace zentrel {

struct CDaoRecordset::Impl {
  const store::TableDef* table = nullptr;  // null while closed
  sqlite3* handle = nullptr;               // the connection of `statements`
  std::map<std::string, store::Statement> statements;
  store::ResultRows rows;
  std::size_t pos = 0;  // == rows.Size(): no current record
  std::unordered_set<std::size_t> deleted;
  EditMode mode = EditMode::kNone;
  std::vector<std::optional<std::string>> written;  // by column position
  std::optional<std::int64_t> new_id;               // given at begin add

  store::Statement& Prepare(const CDaoDatabase& db, const std::string& sql) {
    if (db.Handle() != handle) {
      statements.clear();
      handle = db.Handle();
    }
    auto it = statements.find(sql);
    if (it == statements.end()) it = statements.emplace(sql, store::Statement(db, sql)).first;
    return it->second;
  }
  bool IsOpen() const { return table != nullptr; }
  bool HasCurrent() const { return IsOpen() && pos < rows.Size(); }
  bool CurrentDeleted() const { return !deleted.empty() && deleted.count(pos) != 0; }
  void Discard() {
    mode = EditMode::kNone;
    written.clear();
    new_id.reset();
  }
  int Columns() const { return static_cast<int>(table->columns.size()); }
};

}  // namespace zentrel
