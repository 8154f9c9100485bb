// A database file for one test, made with SQLite's own API in a fresh
// temporary directory: VPdata and stored as the program expects them, each
// text column limited to 255 characters by a check (standing in for a
// column's width). The test reads the tables back with plain SQL, so that
// what a dialog did is checked in the file, not only on the screen.
#pragma once

#include <string>
#include <vector>

namespace zentrel::test {

class TestDb {
 public:
  TestDb();
  ~TestDb();
  TestDb(const TestDb&) = delete;
  TestDb& operator=(const TestDb&) = delete;

  const std::string& Path() const { return path_; }

  // Runs statements; fails the test on an error.
  void Exec(const std::string& sql) const;
  // Rows of a query, each column as text (NULL as "<null>").
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const;
  // One column of a query, as texts.
  std::vector<std::string> Column(const std::string& sql) const;

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace zentrel::test
