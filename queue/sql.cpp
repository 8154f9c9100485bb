// The SQLite calls of the queue's back-end, each checked once here.
#include "queue/sql.h"

#include <sqlite3.h>

namespace zentrel::queue::sql {

namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw QueueError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view text) : db_(db) {
  if (sqlite3_prepare_v2(db, text.data(), static_cast<int>(text.size()), &stmt_, nullptr) !=
      SQLITE_OK) {
    Fail(db, "the queue cannot prepare a statement");
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Check(int rc) {
  if (rc != SQLITE_OK) Fail(db_, "the queue cannot bind a value");
}

void Statement::BindOne(int position, std::int64_t value) {
  Check(sqlite3_bind_int64(stmt_, position, value));
}

void Statement::BindOne(int position, double value) {
  Check(sqlite3_bind_double(stmt_, position, value));
}

void Statement::BindOne(int position, const std::string& value) {
  Check(sqlite3_bind_text(stmt_, position, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT));
}

void Statement::BindOne(int position, std::nullptr_t) { Check(sqlite3_bind_null(stmt_, position)); }

void Statement::BindOne(int position, const Value& value) {
  std::visit([this, position](const auto& v) { BindOne(position, v); }, value);
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, "the queue's database failed");
}

void Statement::Run() {
  while (Step()) {
  }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
double Statement::Real(int column) const { return sqlite3_column_double(stmt_, column); }
bool Statement::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
              : std::string();
}

Connection::Connection(const std::string& path) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw QueueError("cannot open the queue " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, 5000);
  sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection() { sqlite3_close(db_); }

void Connection::Exec(std::string_view text) {
  const std::string copy(text);
  if (sqlite3_exec(db_, copy.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail(db_, "the queue's database failed");
  }
}

std::int64_t Connection::LastId() const { return sqlite3_last_insert_rowid(db_); }
int Connection::Changes() const { return sqlite3_changes(db_); }

Transaction::Transaction(Connection& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

}  // namespace zentrel::queue::sql
