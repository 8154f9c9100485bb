// The rows of one query result, kept in memory: each row's rowid and its
// column values, texts packed into one buffer. The result is read in one
// pass of a prepared statement and the statement is then reset, so no read
// lock is held between calls and other connections can save meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/dao.h"

struct sqlite3_stmt;

namespace zentrel::store {

class ResultRows {
 public:
  void Clear(int columns);
  // Appends the statement's current row: column 0 the rowid, then `columns`.
  void Append(sqlite3_stmt* stmt);
  std::size_t Size() const { return rowids_.size(); }
  std::int64_t RowId(std::size_t row) const { return rowids_[row]; }

  DaoValue Value(std::size_t row, int column) const;
  void ReadText(std::size_t row, int column, std::string& out) const;  // null: ""
  std::int64_t ReadInt(std::size_t row, int column) const;             // null: 0
  void Replace(std::size_t row, std::vector<DaoValue> values);  // after a save

 private:
  enum class Kind : std::uint8_t { kNull, kInt, kText };
  struct Cell {
    std::int64_t value;  // the integer, or the offset into text_
    std::uint32_t size;  // text length in bytes
    Kind kind;
  };
  const Cell& At(std::size_t row, int column) const;

  int columns_ = 0;
  std::vector<std::int64_t> rowids_;
  std::vector<Cell> cells_;
  std::string text_;
  std::unordered_map<std::size_t, std::vector<DaoValue>> replaced_;
};

}  // namespace zentrel::store
