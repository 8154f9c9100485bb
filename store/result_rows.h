// The rows of one query result, kept in memory: each row's rowid and its
// column values, texts copied into large blocks that never move. The result
// is read in one pass of a prepared statement and the statement is then
// reset, so no read lock is held between calls and other connections can
// save meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/dao.h"

struct sqlite3_stmt;

namespace zentrel::store {

class ResultRows {
 public:
  void Clear(int columns);
  // Appends the statement's current row: column 0 the rowid, column 1 the
  // integer key, then the text columns.
  void Append(sqlite3_stmt* stmt);
  std::size_t Size() const { return rowids_.size(); }
  std::int64_t RowId(std::size_t row) const { return rowids_[row]; }

  DaoValue Value(std::size_t row, int column) const;
  void ReadText(std::size_t row, int column, std::string& out) const;  // null: ""
  std::int64_t ReadInt(std::size_t row, int column) const;             // null: 0
  void Replace(std::size_t row, std::vector<DaoValue> values);         // after a save

 private:
  enum class Kind : std::uint8_t { kNull, kInt, kText };
  struct Cell {
    union {
      std::int64_t number;
      const char* text;
    };
    std::uint32_t size;  // text length in bytes
    Kind kind;
  };
  static constexpr std::size_t kCellsPerBlock = 4096;
  static constexpr std::size_t kTextBlock = 256 * 1024;

  Cell& NewCell();
  const char* Keep(const char* bytes, std::size_t size);
  const Cell& At(std::size_t row, int column) const;
  const std::vector<DaoValue>* Replaced(std::size_t row) const;  // null: not replaced

  int columns_ = 0;
  std::size_t cells_ = 0;
  std::vector<std::int64_t> rowids_;
  std::vector<std::unique_ptr<Cell[]>> cell_blocks_;
  std::vector<std::unique_ptr<char[]>> text_blocks_;
  std::vector<std::unique_ptr<char[]>> long_texts_;
  std::size_t text_used_ = kTextBlock;  // in the last text block
  std::unordered_map<std::size_t, std::vector<DaoValue>> replaced_;
};

}  // namespace zentrel::store
