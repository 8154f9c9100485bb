// Test databases: a fresh temporary folder made the current directory (the
// program opens "vp.mdb" there) holding a vp.mdb written with SQLite's C API,
// with the two tables and the recipients given. The previous directory comes
// back when the folder goes away.
#pragma once

#include <QTemporaryDir>

#include <string>
#include <vector>

namespace zentrel::testing {

struct Recipient {
  std::string pin, fname, lname, pagephone;
};

class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  // Writes vp.mdb with the tables and `recipients`, in this order.
  void MakeDatabase(const std::vector<Recipient>& recipients);
  // Runs one SQL statement on vp.mdb (to change it behind the program's back).
  void Exec(const std::string& sql);
  std::string Path() const;

 private:
  QTemporaryDir dir_;
  std::string previous_;
};

}  // namespace zentrel::testing
