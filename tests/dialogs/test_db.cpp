// Creation of a test's database file and plain-SQL reads of its tables.
#include "test_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

namespace zentrel::test {

namespace {

struct Connection {
  explicit Connection(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) ADD_FAILURE() << sqlite3_errmsg(db);
  }
  ~Connection() { sqlite3_close(db); }
  sqlite3* db = nullptr;
};

}  // namespace

TestDb::TestDb() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zt-dialogs-XXXXXX").string();
  dir_ = mkdtemp(pattern.data());
  path_ = dir_ + "/vp.mdb";
  Exec(
      "CREATE TABLE VPdata (id INTEGER PRIMARY KEY, pin TEXT CHECK (length(pin) <= 255),"
      " fname TEXT CHECK (length(fname) <= 255), lname TEXT CHECK (length(lname) <= 255),"
      " pagephone TEXT CHECK (length(pagephone) <= 255));"
      "CREATE TABLE stored (id INTEGER PRIMARY KEY, Message TEXT CHECK (length(Message) <= 255));");
}

TestDb::~TestDb() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void TestDb::Exec(const std::string& sql) const {
  Connection c(path_);
  char* error = nullptr;
  if (sqlite3_exec(c.db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << (error ? error : "?");
  }
  sqlite3_free(error);
}

std::vector<std::vector<std::string>> TestDb::Rows(const std::string& sql) const {
  Connection c(path_);
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(c.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(c.db);
    return rows;
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const auto* text = sqlite3_column_text(stmt, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

std::vector<std::string> TestDb::Column(const std::string& sql) const {
  std::vector<std::string> column;
  for (auto& row : Rows(sql)) column.push_back(row.at(0));
  return column;
}

}  // namespace zentrel::test
