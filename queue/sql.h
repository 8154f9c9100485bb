// A thin layer over SQLite's C interface for the queue's SQLite back-end: a
// connection that runs statements and transactions, and a prepared
// statement with values bound by position and read by column. Every failure
// becomes a QueueError carrying SQLite's message; nothing is ever spliced
// into SQL text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "queue/page_queue.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zentrel::queue::sql {

using Value = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

class Statement {
 public:
  Statement(sqlite3* db, std::string_view text);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  template <typename... Values>
  Statement& Bind(const Values&... values) {
    int position = 0;
    (BindOne(++position, values), ...);
    return *this;
  }
  bool Step();  // true while a row is there
  void Run();   // steps to the end
  std::int64_t Int(int column) const;
  double Real(int column) const;
  std::string Text(int column) const;
  bool IsNull(int column) const;

 private:
  void BindOne(int position, std::int64_t value);
  void BindOne(int position, double value);
  void BindOne(int position, const std::string& value);
  void BindOne(int position, std::nullptr_t);
  void BindOne(int position, const Value& value);
  void Check(int rc);
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

class Connection {
 public:
  explicit Connection(const std::string& path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Exec(std::string_view text);  // statements without values
  Statement Prepare(std::string_view text) { return Statement(db_, text); }
  std::int64_t LastId() const;
  int Changes() const;
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// BEGIN IMMEDIATE on construction, ROLLBACK unless Commit() was called.
class Transaction {
 public:
  explicit Transaction(Connection& db);
  ~Transaction();
  void Commit();

 private:
  Connection& db_;
  bool open_ = true;
};

}  // namespace zentrel::queue::sql
