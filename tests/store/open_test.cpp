// Opening a database file: a missing file stays missing, a file that is not
// an SQLite database (or lacks a table) is refused with a message saying
// what it is, and a recordset on an unopened connection fails cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scratch_db.h"
#include "store/dao.h"

namespace zentrel {
namespace {

using testing::ScratchDir;

std::string OpenError(const std::string& path) {
  CDaoDatabase db;
  try {
    db.Open(path);
  } catch (const CDaoException& e) {
    EXPECT_FALSE(db.IsOpen());
    return e.what();
  }
  return "(opened)";
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Open, MissingFileIsAnErrorAndIsNotCreated) {
  ScratchDir dir;
  const std::string path = dir.Path("vp.mdb");
  EXPECT_NE(OpenError(path).find("unable to open database file"), std::string::npos);
  CZTSet set(nullptr, path);
  EXPECT_THROW(set.Open(), CDaoException);
  EXPECT_FALSE(set.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Open, ForeignFilesAreNamedForWhatTheyAre) {
  ScratchDir dir;
  std::string jet(64, '\0');
  jet.replace(4, 15, "Standard Jet DB");
  struct Row {
    const char* name;
    std::string bytes;
    const char* says;
  };
  const Row rows[] = {
      {"jet.mdb", jet, "Jet database"},
      {"text.mdb", "pin,fname,lname,pagephone\n1001,A,B,555\n", "text file"},
      {"empty.mdb", "", "empty file"},
      {"binary.mdb", std::string("\x01\x02\x03\xff\xfe\x00\x10", 7), "not an SQLite database"},
      {"broken.mdb", std::string("SQLite format 3\0", 16) + std::string(200, 'x'),
       "not a database"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = dir.Path(row.name);
    WriteFile(path, row.bytes);
    EXPECT_NE(OpenError(path).find(row.says), std::string::npos) << OpenError(path);
  }
  std::filesystem::create_directory(dir.Path("dir.mdb"));
  EXPECT_NE(OpenError(dir.Path("dir.mdb")).find("directory"), std::string::npos);
}

TEST(Open, FileWithoutATableOrColumnIsRefused) {
  ScratchDir dir;
  const std::string no_stored =
      dir.MakeDb("a.mdb", "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin, fname, lname, pagephone);");
  EXPECT_NE(OpenError(no_stored).find("has no table stored"), std::string::npos);
  const std::string no_phone = dir.MakeDb(
      "b.mdb", "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin, fname, lname);"
               "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message);");
  EXPECT_NE(OpenError(no_phone).find("no column pagephone"), std::string::npos);
}

TEST(Open, RecordsetOnAConnectionThatNeverOpenedFails) {
  ScratchDir dir;
  CDaoDatabase db;
  EXPECT_THROW(db.Open(dir.Path("missing.mdb")), CDaoException);
  CDaoRecordset messages(&db);
  EXPECT_THROW(messages.Open("Select * from [stored]"), CDaoException);
  EXPECT_FALSE(messages.IsOpen());
  EXPECT_TRUE(messages.IsEOF());
  EXPECT_THROW(messages.MoveNext(), CDaoException);
  EXPECT_THROW(messages.AddNew(), CDaoException);
}

TEST(Open, UnsupportedQueryOrFilterRunsNoSql) {
  ScratchDir dir;
  const std::string path = dir.MakeDb();
  testing::RawDb raw(path);
  raw.Exec("INSERT INTO stored VALUES (1, 'keep')");
  CDaoDatabase db;
  db.Open(path);
  CDaoRecordset messages(&db);
  EXPECT_THROW(messages.Open("DELETE FROM stored"), CDaoException);
  messages.m_strFilter = "id = 1; DELETE FROM stored";
  EXPECT_THROW(messages.Open("Select * from [stored]"), CDaoException);
  messages.m_strFilter = "";
  messages.Open("Select * from [stored]");
  messages.m_strFilter = "id = 1 OR 1=1";
  EXPECT_THROW(messages.Requery(), CDaoException);
  EXPECT_EQ(raw.Number("SELECT count(*) FROM stored"), 1);
}

}  // namespace
}  // namespace zentrel
