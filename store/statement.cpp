// Prepared statements and write transactions over one CDaoDatabase. Texts
// are bound with their byte length (UTF-8, any length, embedded NULs kept).
#include "store/statement.h"

#include <sqlite3.h>

#include <utility>

#include "store/engine_error.h"

namespace zentrel::store {

Statement::Statement(const CDaoDatabase& db, const std::string& sql) : db_(&db) {
  const int rc = sqlite3_prepare_v3(db.Handle(), sql.c_str(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    ThrowEngineError(db, rc, "Preparing a query on " + db.Name() + " failed");
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    db_ = other.db_;
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

void Statement::BindText(int index, std::string_view text) {
  const int rc =
      sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) ThrowEngineError(*db_, rc, "Binding a text value failed");
}

void Statement::BindInt(int index, std::int64_t value) {
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) ThrowEngineError(*db_, rc, "Binding a number failed");
}

void Statement::BindNull(int index) {
  const int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK) ThrowEngineError(*db_, rc, "Binding a value failed");
}

bool Statement::Step(const std::string& what) {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  try {
    ThrowEngineError(*db_, rc, what);  // takes the engine's message first
  } catch (...) {
    sqlite3_reset(stmt_);
    throw;
  }
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

void Execute(const CDaoDatabase& db, const char* sql, const std::string& what) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db.Handle(), sql, nullptr, nullptr, &error);
  sqlite3_free(error);
  if (rc != SQLITE_OK) ThrowEngineError(db, rc, what);
}

WriteTransaction::WriteTransaction(const CDaoDatabase& db, const std::string& what)
    : db_(db), what_(what) {
  Execute(db_, "BEGIN IMMEDIATE", what_);
}

WriteTransaction::~WriteTransaction() {
  if (!done_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::Commit() {
  Execute(db_, "COMMIT", what_);
  done_ = true;
}

}  // namespace zentrel::store
