// Saves that meet another program's lock or a rule of the table: the save
// fails cleanly, the table is as it was, the add or edit stays pending and a
// later save succeeds. Two connections on one file both save, and an open
// result never blocks the other connection. Busy waits are made short here.
#include <gtest/gtest.h>

#include <chrono>

#include "scratch_db.h"
#include "store/dao.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;
using testing::RawDb;
using testing::ScratchDir;

TEST(Saving, AWriterWaitsForAnotherProgramsLockThenFailsWithNothingLost) {
  ScratchDir dir;
  const std::string path = dir.MakeDb();
  CDaoDatabase db;
  db.SetBusyTimeout(20ms);
  db.Open(path);
  CZTSet set(&db);
  set.Open();
  RawDb other(path);
  struct Row {
    const char* lock;  // what the other program holds
    const char* release;
  };
  // A write transaction (RESERVED lock), then a reader part-way through a
  // read (SHARED lock, which blocks our commit).
  const Row rows[] = {{"BEGIN IMMEDIATE; INSERT INTO VPdata(pin) VALUES ('other')", "COMMIT"},
                      {"BEGIN; SELECT count(*) FROM VPdata", "COMMIT"}};
  int saved = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lock);
    other.Exec(row.lock);
    set.AddNew();
    set.m_pin = "mine" + std::to_string(saved);
    try {
      set.Update();
      ADD_FAILURE() << "saved while another program held the lock";
    } catch (const CDaoException& e) {
      EXPECT_NE(std::string(e.what()).find("in use by another program"), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(set.GetEditMode(), CDaoRecordset::EditMode::kAdd);
    EXPECT_EQ(set.m_pin, "mine" + std::to_string(saved));
    other.Exec(row.release);
    set.Update();
    ++saved;
  }
  EXPECT_EQ(RawDb(path).Text("SELECT group_concat(pin) FROM (SELECT pin FROM VPdata ORDER BY id)"),
            "other,mine0,mine1");
}

TEST(Saving, OpeningAFileLockedExclusivelyFailsAfterTheWait) {
  ScratchDir dir;
  const std::string path = dir.MakeDb();
  RawDb other(path);
  other.Exec("BEGIN EXCLUSIVE");
  CDaoDatabase db;
  db.SetBusyTimeout(20ms);
  try {
    db.Open(path);
    ADD_FAILURE() << "opened a file locked exclusively";
  } catch (const CDaoException& e) {
    EXPECT_NE(std::string(e.what()).find("in use by another program"), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(db.IsOpen());
  other.Exec("COMMIT");
  db.Open(path);
  EXPECT_TRUE(db.IsOpen());
}

TEST(Saving, TwoConnectionsOnOneFileBothSaveWhileTheirResultsAreOpen) {
  ScratchDir dir;
  const std::string path = dir.MakeDb();
  RawDb(path).Exec("INSERT INTO VPdata VALUES (1,'1001','Ann','Lee','5551234');"
                   "INSERT INTO stored VALUES (1,'one')");
  CZTSet recipients(nullptr, path);  // its own connection, as in the program
  recipients.m_strFilter = "pin = '1001'";
  recipients.Open();
  CDaoDatabase view;
  view.SetBusyTimeout(20ms);
  view.Open(path);
  CDaoRecordset messages(&view);
  messages.m_strFilter = "id = 1";
  messages.Open("Select * from [stored]");
  // Each holds a current record; each saves in turn.
  messages.AddNew();
  messages.SetFieldValue("Message", "two");
  messages.Update();
  recipients.Edit();
  recipients.m_pagephone = "5550000";
  recipients.Update();
  messages.Edit();
  messages.SetFieldValue("Message", "uno");
  messages.Update();
  CZTSet second(nullptr, path);
  second.Open();
  second.AddNew();
  second.m_pin = "1002";
  second.Update();
  RawDb raw(path);
  EXPECT_EQ(raw.Text("SELECT group_concat(pin || ':' || pagephone) FROM (SELECT * FROM VPdata ORDER BY id)"),
            "1001:5550000,1002:");
  EXPECT_EQ(raw.Text("SELECT group_concat(id || ':' || Message) FROM stored"), "1:uno,2:two");
}

TEST(Saving, ARuleOfTheTableFailsTheSaveAndKeepsItPending) {
  ScratchDir dir;
  const std::string path = dir.MakeDb(
      "vp.mdb",
      "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT UNIQUE, fname TEXT, lname TEXT,"
      " pagephone TEXT CHECK (length(pagephone) <= 10));"
      "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
      "INSERT INTO VPdata VALUES (1, '1001', 'Ann', 'Lee', '5551234');");
  CZTSet set(nullptr, path);
  set.Open();
  set.AddNew();
  set.m_pin = "1002";
  set.m_pagephone = "555123456789";
  EXPECT_THROW(set.Update(), CDaoException);
  EXPECT_EQ(set.GetEditMode(), CDaoRecordset::EditMode::kAdd);
  set.m_pagephone = "5559";
  set.Update();
  set.Edit();
  set.m_pin = "1002";  // against UNIQUE
  set.m_fname = "Changed";
  try {
    set.Update();
    ADD_FAILURE() << "saved against a rule of the table";
  } catch (const CDaoException& e) {
    EXPECT_NE(std::string(e.what()).find("UNIQUE constraint failed: VPdata.pin"),
              std::string::npos) << e.what();
  }
  EXPECT_EQ(set.GetEditMode(), CDaoRecordset::EditMode::kEdit);
  EXPECT_EQ(set.m_fname, "Changed");
  RawDb raw(path);
  EXPECT_EQ(raw.Text("SELECT group_concat(x) FROM (SELECT pin || fname || pagephone AS x FROM VPdata ORDER BY id)"),
            "1001Ann5551234,10025559");
  set.m_pin = "1001";
  set.Update();
  EXPECT_EQ(raw.Text("SELECT fname FROM VPdata WHERE id = 1"), "Changed");
}

}  // namespace
}  // namespace zentrel
