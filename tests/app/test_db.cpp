// Writes the test vp.mdb through SQLite's C API: the two tables as the store
// expects them, then the recipients in one transaction with bound values.
// The temporary folder becomes the current directory while it lives.
#include "tests/app/test_db.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace zentrel::testing {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT,"
    " pagephone TEXT);"
    "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);";

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
}

}  // namespace

TestFolder::TestFolder() : previous_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(dir_.path().toStdString());
}

TestFolder::~TestFolder() { std::filesystem::current_path(previous_); }

std::string TestFolder::Path() const { return dir_.path().toStdString(); }

void TestFolder::MakeDatabase(const std::vector<Recipient>& recipients) {
  sqlite3* db = nullptr;
  Check(sqlite3_open("vp.mdb", &db), db);
  Check(sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr), db);
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES(?,?,?,?)",
                           -1, &insert, nullptr), db);
  for (const Recipient& r : recipients) {
    int column = 1;
    for (const std::string* text : {&r.pin, &r.fname, &r.lname, &r.pagephone}) {
      sqlite3_bind_text(insert, column++, text->c_str(), -1, SQLITE_TRANSIENT);
    }
    Check(sqlite3_step(insert), db);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  sqlite3_close(db);
}

void TestFolder::Exec(const std::string& sql) {
  sqlite3* db = nullptr;
  Check(sqlite3_open("vp.mdb", &db), db);
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + sql);
}

}  // namespace zentrel::testing
