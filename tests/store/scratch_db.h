// Test helpers: a scratch directory removed after each test, database files
// made in it with plain SQL (the store never creates files), and a raw
// connection for looking at or locking a file behind the store's back.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace zentrel::testing {

constexpr const char* kSchema =
    "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT,"
    " pagephone TEXT);"
    "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
    "CREATE INDEX VPdata_pin ON VPdata(pin);";

// A plain SQLite connection; Exec fails the test on an error.
class RawDb {
 public:
  explicit RawDb(const std::string& path);
  ~RawDb();
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;
  void Exec(const std::string& sql);
  int Rc(const std::string& sql);                      // result code, no failure
  std::string Text(const std::string& sql);            // first column of first row
  long long Number(const std::string& sql);
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // A file with both tables, plus `extra` SQL run after them.
  std::string MakeDb(const std::string& name = "vp.mdb", const std::string& schema = kSchema,
                     const std::string& extra = "");

 private:
  std::filesystem::path dir_;
};

}  // namespace zentrel::testing
