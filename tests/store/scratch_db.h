// Test helpers: a scratch directory removed after each test, database files
// made in it with plain SQL (the store never creates files), a raw connection
// for looking at or locking a file behind the store's back, and ErrorOf to
// read the message of the store's error.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "store/dao.h"
#include "tests/store/vp_schema.h"

namespace zentrel::testing {

// A plain SQLite connection; Exec fails the test on an error.
class RawDb {
 public:
  explicit RawDb(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK) << path;
  }
  ~RawDb() { sqlite3_close_v2(db_); }
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;
  void Exec(const std::string& sql) {
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_);
  }
  std::string Text(const std::string& sql) {  // first column of the first row
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    std::string result;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
      result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return result;
  }

 private:
  sqlite3* db_ = nullptr;
};

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zt-store-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    dir_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // A file made by running `schema` (by default both tables and the index).
  std::string MakeDb(const std::string& name = "vp.mdb", const std::string& schema = kVpSchema) {
    RawDb(Path(name)).Exec(schema);
    return Path(name);
  }

 private:
  std::filesystem::path dir_;
};

// The message of the store error `act` throws; "(no error)" when it throws none.
template <typename F>
std::string ErrorOf(F&& act) {
  try {
    act();
  } catch (const CDaoException& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace zentrel::testing
