// Opening a database file: a missing file stays missing, a file that is not
// an SQLite database (or lacks a table or column) is refused with a message
// saying what it is, and a recordset on an unopened connection fails cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scratch_db.h"

namespace zentrel {
namespace {

using testing::ErrorOf;
using testing::ScratchDir;

TEST(Open, RefusesWhatIsNotOurDatabaseSayingWhatItIs) {
  ScratchDir dir;
  std::string jet(64, '\0');
  jet.replace(4, 15, "Standard Jet DB");
  struct Row {
    const char* name;
    char make;  // '-' nothing, 'd' a directory, 'f' a file of `bytes`, 's' SQLite with `bytes` run
    std::string bytes;
    const char* says;
  };
  const Row rows[] = {
      {"missing.mdb", '-', "", "unable to open database file"},
      {"dir.mdb", 'd', "", "directory"},
      {"jet.mdb", 'f', jet, "Jet database"},
      {"text.mdb", 'f', "pin,fname,lname,pagephone\n1001,A,B,555\n", "text file"},
      {"empty.mdb", 'f', "", "empty file"},
      {"binary.mdb", 'f', std::string("\x01\x02\x03\xff\xfe\x00\x10", 7), "not an SQLite database"},
      {"broken.mdb", 'f', std::string("SQLite format 3\0", 16) + std::string(200, 'x'),
       "not a database"},
      {"no_stored.mdb", 's',
       "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin, fname, lname,"
       " pagephone);",
       "has no table stored"},
      {"no_phone.mdb", 's',
       "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin, fname, lname);"
       "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message);",
       "no column pagephone"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = dir.Path(row.name);
    if (row.make == 'd') std::filesystem::create_directory(path);
    if (row.make == 'f') std::ofstream(path, std::ios::binary) << row.bytes;
    if (row.make == 's') dir.MakeDb(row.name, row.bytes);
    CDaoDatabase db;
    const std::string error = ErrorOf([&] { db.Open(path); });
    EXPECT_NE(error.find(row.says), std::string::npos) << error;
    EXPECT_FALSE(db.IsOpen());
  }
  CZTSet set(nullptr, dir.Path("missing.mdb"));
  EXPECT_THROW(set.Open(), CDaoException);
  EXPECT_FALSE(set.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.mdb")));
  CDaoDatabase never_opened;  // a recordset on it fails cleanly
  CDaoRecordset messages(&never_opened);
  EXPECT_THROW(messages.Open("Select * from [stored]"), CDaoException);
  EXPECT_TRUE(messages.IsEOF());
  EXPECT_THROW(messages.MoveNext(), CDaoException);
  EXPECT_THROW(messages.AddNew(), CDaoException);
}

}  // namespace
}  // namespace zentrel
