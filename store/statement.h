// A prepared SQLite statement owned by one object, and a write transaction
// that rolls back unless committed. Both report failures through
// ThrowEngineError with the connection they belong to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/dao.h"

struct sqlite3_stmt;

namespace zentrel::store {

class Statement {
 public:
  Statement() = default;
  Statement(const CDaoDatabase& db, const std::string& sql);  // prepares; throws
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void BindText(int index, std::string_view text);
  void BindInt(int index, std::int64_t value);
  void BindNull(int index);
  bool Step(const std::string& what);  // true: a row is ready; false: done
  void Reset();                        // ends the read, clears the bindings
  sqlite3_stmt* Raw() const { return stmt_; }

 private:
  const CDaoDatabase* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

// Runs one statement with no result (BEGIN, COMMIT, ...).
void Execute(const CDaoDatabase& db, const char* sql, const std::string& what);

// BEGIN IMMEDIATE: takes the write lock now (waiting the busy timeout), so
// the whole save either happens or leaves the table as it was.
class WriteTransaction {
 public:
  WriteTransaction(const CDaoDatabase& db, const std::string& what);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void Commit();

 private:
  const CDaoDatabase& db_;
  std::string what_;
  bool done_ = false;
};

}  // namespace zentrel::store
