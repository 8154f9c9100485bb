// Packing and reading the rows of a result. Integers stay integers; every
// other stored type (text, real, blob) is kept as its text. Rows changed by a
// save of this recordset are kept beside the packed rows and read first.
#include "store/result_rows.h"

#include <sqlite3.h>

#include <charconv>

namespace zentrel::store {

void ResultRows::Clear(int columns) {
  columns_ = columns;
  rowids_.clear();
  cells_.clear();
  text_.clear();
  replaced_.clear();
}

void ResultRows::Append(sqlite3_stmt* stmt) {
  rowids_.push_back(sqlite3_column_int64(stmt, 0));
  for (int c = 1; c <= columns_; ++c) {
    switch (sqlite3_column_type(stmt, c)) {
      case SQLITE_NULL:
        cells_.push_back({0, 0, Kind::kNull});
        break;
      case SQLITE_INTEGER:
        cells_.push_back({sqlite3_column_int64(stmt, c), 0, Kind::kInt});
        break;
      default: {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        const auto size = static_cast<std::uint32_t>(sqlite3_column_bytes(stmt, c));
        cells_.push_back({static_cast<std::int64_t>(text_.size()), size, Kind::kText});
        text_.append(bytes != nullptr ? bytes : "", size);
      }
    }
  }
}

const ResultRows::Cell& ResultRows::At(std::size_t row, int column) const {
  return cells_[row * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column)];
}

DaoValue ResultRows::Value(std::size_t row, int column) const {
  if (auto it = replaced_.find(row); it != replaced_.end()) return it->second[column];
  const Cell& cell = At(row, column);
  switch (cell.kind) {
    case Kind::kNull:
      return {};
    case Kind::kInt:
      return cell.value;
    case Kind::kText:
      break;
  }
  return std::string(text_, static_cast<std::size_t>(cell.value), cell.size);
}

void ResultRows::ReadText(std::size_t row, int column, std::string& out) const {
  if (auto it = replaced_.find(row); it != replaced_.end()) {
    out = DaoValueText(it->second[column]);
    return;
  }
  const Cell& cell = At(row, column);
  if (cell.kind == Kind::kText) {
    out.assign(text_, static_cast<std::size_t>(cell.value), cell.size);
  } else if (cell.kind == Kind::kInt) {
    out = std::to_string(cell.value);
  } else {
    out.clear();
  }
}

std::int64_t ResultRows::ReadInt(std::size_t row, int column) const {
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
