// CDaoDatabase: one SQLite connection to an existing file, opened read-write
// and never with create, with a busy timeout so that a writer waits briefly
// for another program's lock. Opening checks that the file is an SQLite
// database with both tables; a foreign file is named for what it is. A
// connection serves one thread, so it is opened without its own mutex.
#include <sqlite3.h>

#include "store/dao.h"
#include "store/engine_error.h"
#include "store/file_kind.h"
#include "store/schema.h"

namespace zentrel {

namespace {

// `busy`: the check could not read the file for another program's lock,
// which the caller may treat as "try again" rather than as a bad file.
[[noreturn]] void ThrowOpenError(const std::string& name, const std::string& engine,
                                 bool busy = false) {
  std::string message = name + " cannot be opened: " + engine;
  if (const auto kind = store::DescribeForeignFile(name)) {
    message = name + " is " + *kind + " (" + engine + ")";
  }
  throw CDaoException(message, busy);
}

}  // namespace

CDaoDatabase::CDaoDatabase() = default;

CDaoDatabase::~CDaoDatabase() { Close(); }

void CDaoDatabase::Open(const std::string& name) {
  Close();
  if (const auto kind = store::DescribeForeignFile(name)) {
    throw CDaoException(name + " is " + *kind);
  }
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string engine = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    ThrowOpenError(name,
                   engine + " (the file must exist; make one with: zentrel-db init " + name + ")");
  }
  db_ = db;
  name_ = name;
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, static_cast<int>(busy_timeout_.count()));
  try {
    store::CheckTables(*this);
  } catch (const CDaoException& e) {
    Close();
    ThrowOpenError(name, e.what(), e.busy());
  }
}

bool CDaoDatabase::IsOpen() const { return db_ != nullptr; }

void CDaoDatabase::Close() {
  // A recordset still holding statements keeps the connection alive until
  // it finalises them (close_v2 defers the close).
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

sqlite3* CDaoDatabase::Handle() const { return db_; }

const std::string& CDaoDatabase::Name() const { return name_; }

void CDaoDatabase::SetBusyTimeout(std::chrono::milliseconds wait) {
  busy_timeout_ = wait;
  if (db_ != nullptr) sqlite3_busy_timeout(db_, static_cast<int>(wait.count()));
}

std::chrono::milliseconds CDaoDatabase::BusyTimeout() const { return busy_timeout_; }

}  // namespace zentrel
