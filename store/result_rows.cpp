// Packing and reading the rows of a result. The key column stays an integer;
// the text columns keep text or null (any other stored type is read as its
// text). Blocks of cells and of text are appended, never moved, so reading
// a large result costs no re-copying. Rows changed by a save of this
// recordset are kept beside the packed rows and read first.
#include "store/result_rows.h"

#include <sqlite3.h>

#include <charconv>
#include <cstring>

namespace zentrel::store {

void ResultRows::Clear(int columns) {
  columns_ = columns;
  cells_ = 0;
  rowids_.clear();
  cell_blocks_.clear();
  text_blocks_.clear();
  long_texts_.clear();
  text_used_ = kTextBlock;
  replaced_.clear();
}

ResultRows::Cell& ResultRows::NewCell() {
  if (cells_ % kCellsPerBlock == 0) cell_blocks_.emplace_back(new Cell[kCellsPerBlock]);
  Cell& cell = cell_blocks_.back()[cells_ % kCellsPerBlock];
  ++cells_;
  return cell;
}

const char* ResultRows::Keep(const char* bytes, std::size_t size) {
  if (size == 0) return "";     // an empty text needs no room (and may come before any block)
  if (size > kTextBlock / 4) {  // a long text gets a block of its own
    long_texts_.emplace_back(new char[size]);
    std::memcpy(long_texts_.back().get(), bytes, size);
    return long_texts_.back().get();
  }
  if (text_used_ + size > kTextBlock) {
    text_blocks_.emplace_back(new char[kTextBlock]);  // not zero-filled: written first
    text_used_ = 0;
  }
  char* place = text_blocks_.back().get() + text_used_;
  std::memcpy(place, bytes, size);
  text_used_ += size;
  return place;
}

void ResultRows::Append(sqlite3_stmt* stmt) {
  rowids_.push_back(sqlite3_column_int64(stmt, 0));
  Cell& key = NewCell();
  key.size = 0;
  key.kind = sqlite3_column_type(stmt, 1) == SQLITE_NULL ? Kind::kNull : Kind::kInt;
  key.number = sqlite3_column_int64(stmt, 1);
  for (int c = 2; c <= columns_; ++c) {
    Cell& cell = NewCell();
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
    if (bytes == nullptr) {
      cell.kind = Kind::kNull;
      cell.size = 0;
      cell.text = nullptr;
      continue;
    }
    cell.kind = Kind::kText;
    cell.size = static_cast<std::uint32_t>(sqlite3_column_bytes(stmt, c));
    cell.text = Keep(bytes, cell.size);
  }
}

const std::vector<DaoValue>* ResultRows::Replaced(std::size_t row) const {
  if (replaced_.empty()) return nullptr;  // the common case: a plain walk
  const auto it = replaced_.find(row);
  return it != replaced_.end() ? &it->second : nullptr;
}

const ResultRows::Cell& ResultRows::At(std::size_t row, int column) const {
  const std::size_t i = row * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
  return cell_blocks_[i / kCellsPerBlock][i % kCellsPerBlock];
}

DaoValue ResultRows::Value(std::size_t row, int column) const {
  if (const auto* values = Replaced(row)) return (*values)[static_cast<std::size_t>(column)];
  const Cell& cell = At(row, column);
  switch (cell.kind) {
    case Kind::kNull: return {};
    case Kind::kInt: return cell.number;
    case Kind::kText: break;
  }
  return std::string(cell.text, cell.size);
}

void ResultRows::ReadText(std::size_t row, int column, std::string& out) const {
  if (const auto* values = Replaced(row)) {
    out = DaoValueText((*values)[static_cast<std::size_t>(column)]);
    return;
  }
  const Cell& cell = At(row, column);
  if (cell.kind == Kind::kText) {
    out.assign(cell.text, cell.size);
  } else if (cell.kind == Kind::kInt) {
    out = std::to_string(cell.number);
  } else {
    out.clear();
  }
}

std::int64_t ResultRows::ReadInt(std::size_t row, int column) const {
  if (Replaced(row) == nullptr) {
    const Cell& cell = At(row, column);
    if (cell.kind == Kind::kInt) return cell.number;
    if (cell.kind == Kind::kNull) return 0;
  }
  const DaoValue value = Value(row, column);
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  std::int64_t parsed = 0;
  if (const auto* text = std::get_if<std::string>(&value)) {
    std::from_chars(text->data(), text->data() + text->size(), parsed);
  }
  return parsed;
}

void ResultRows::Replace(std::size_t row, std::vector<DaoValue> values) {
  replaced_[row] = std::move(values);
}

}  // namespace zentrel::store
