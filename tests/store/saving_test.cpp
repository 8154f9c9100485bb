// Opens and saves that meet another program's lock, saves against a rule of
// the table: each fails cleanly, the table is as it was, the add or edit
// stays pending and a later save succeeds. Busy waits are made short here.
#include <gtest/gtest.h>

#include <chrono>

#include "scratch_db.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;
using testing::ErrorOf;
using testing::RawDb;
using testing::ScratchDir;

TEST(Saving, AWriterWaitsForAnotherProgramsLockThenFailsWithNothingLost) {
  ScratchDir dir;
  const std::string path = dir.MakeDb();
  RawDb other(path);
  other.Exec("BEGIN EXCLUSIVE");  // even opening the file waits, then fails
  CDaoDatabase db;
  db.SetBusyTimeout(20ms);
  std::string error = ErrorOf([&] { db.Open(path); });
  EXPECT_NE(error.find("in use by another program"), std::string::npos) << error;
  EXPECT_FALSE(db.IsOpen());
  other.Exec("COMMIT");
  db.Open(path);
  CZTSet set(&db);
  set.Open();
  // What the other program holds, and how it lets go: a write transaction
  // (RESERVED lock), then a reader part-way through a read (SHARED lock,
  // which blocks our commit).
  const std::pair<const char*, const char*> rows[] = {
      {"BEGIN IMMEDIATE; INSERT INTO VPdata(pin) VALUES ('other')", "COMMIT"},
      {"BEGIN; SELECT count(*) FROM VPdata", "COMMIT"}};
  int saved = 0;
  for (const auto& [lock, release] : rows) {
    SCOPED_TRACE(lock);
    other.Exec(lock);
    set.AddNew();
    set.m_pin = "mine" + std::to_string(saved);
    error = ErrorOf([&] { set.Update(); });
    EXPECT_NE(error.find("in use by another program"), std::string::npos) << error;
    EXPECT_EQ(set.GetEditMode(), CDaoRecordset::EditMode::kAdd);
    EXPECT_EQ(set.m_pin, "mine" + std::to_string(saved));
    other.Exec(release);
    set.Update();
    ++saved;
  }
  EXPECT_EQ(RawDb(path).Text("SELECT group_concat(pin) FROM (SELECT pin FROM VPdata ORDER BY id)"),
            "other,mine0,mine1");
}

// A failed save of an edit, against a rule of the table or for a record
// deleted by another program, leaves the table as it was and the edit pending.
TEST(Saving, ARuleOfTheTableOrADeletedRecordFailsTheSaveAndKeepsItPending) {
  ScratchDir dir;
  const std::string path = dir.MakeDb(
      "vp.mdb",
      "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT UNIQUE, fname TEXT, lname TEXT,"
      " pagephone TEXT);"
      "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
      "INSERT INTO VPdata VALUES (1, '1001', 'Ann', 'Lee', '5551234'), (2, '1002', '', '', '');");
  CZTSet set(nullptr, path);
  set.Open();
  set.Edit();
  set.m_pin = "1002";  // against UNIQUE
  set.m_fname = "Changed";
  const std::string error = ErrorOf([&] { set.Update(); });
  EXPECT_NE(error.find("UNIQUE constraint failed: VPdata.pin"), std::string::npos) << error;
  EXPECT_EQ(set.GetEditMode(), CDaoRecordset::EditMode::kEdit);
  EXPECT_EQ(set.m_fname, "Changed");
  RawDb raw(path);
  EXPECT_EQ(raw.Text("SELECT group_concat(pin || fname) FROM (SELECT * FROM VPdata ORDER BY id)"),
            "1001Ann,1002");
  set.m_pin = "1001";
  set.Update();
  EXPECT_EQ(raw.Text("SELECT fname FROM VPdata WHERE id = 1"), "Changed");
  set.Edit();
  set.m_fname = "Anne";
  raw.Exec("DELETE FROM VPdata WHERE id = 1");
  EXPECT_THROW(set.Update(), CDaoException);
  EXPECT_EQ(set.GetEditMode(), CDaoRecordset::EditMode::kEdit);
  EXPECT_EQ(raw.Text("SELECT group_concat(pin) FROM VPdata"), "1002");
}

}  // namespace
}  // namespace zentrel
