// A thin layer over libpq for the queue's PostgreSQL back-end: one
// connection that runs statements with values sent apart from the SQL text
// (never spliced in), results read by row and column, a transaction that
// rolls back unless committed, and the LISTEN side (the socket to poll, the
// notifications that arrived). Every failure becomes a QueueError.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "queue/page_queue.h"

struct pg_conn;
struct pg_result;

namespace zentrel::queue::pg {

// A value as text, or SQL NULL.
using Param = std::optional<std::string>;
Param Text(std::string value);
Param Int(std::int64_t value);
Param Real(double value);  // shortest text that reads back as the same double
Param Bool(bool value);

class Result {
 public:
  explicit Result(pg_result* result) : result_(result) {}
  ~Result();
  Result(Result&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  Result& operator=(Result&&) = delete;

  bool Good() const;  // the statement ran (with or without rows)
  int Rows() const;
  bool IsNull(int row, int column) const;
  std::string Text(int row, int column) const;
  std::int64_t Int(int row, int column) const;
  double Real(int row, int column) const;
  bool Bool(int row, int column) const;

 private:
  pg_result* result_;
};

class Connection {
 public:
  // Connects to `conninfo` (a postgresql:// address); throws QueueError.
  explicit Connection(const std::string& conninfo);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Result Exec(std::string_view sql, const std::vector<Param>& params = {});
  void Script(const std::string& sql);  // several statements, no values
  bool Ok() const;
  bool Reset();  // connects again; true when it is up
  std::string Error() const;
  int Socket() const;  // -1 when down
  // Reads what the server sent meanwhile; the channels notified. Marks the
  // connection down when the server is gone.
  std::vector<std::string> Notifications();

 private:
  pg_conn* conn_ = nullptr;
};

// BEGIN on construction, ROLLBACK unless Commit() was called.
class Transaction {
 public:
  explicit Transaction(Connection& db);
  ~Transaction();
  void Commit();

 private:
  Connection& db_;
  bool open_ = true;
};

}  // namespace zentrel::queue::pg
