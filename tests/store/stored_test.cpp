// The stored-messages recordset as the dialogs use it: list ids, find by
// "id = n", add with an id readable before the save, edit, delete then move,
// the id range 1..32767 running out, query texts that never become SQL, and
// two connections saving on one file.
#include <gtest/gtest.h>

#include "scratch_db.h"

namespace zentrel {
namespace {

using testing::ErrorOf;
using testing::RawDb;
using testing::ScratchDir;

class Stored : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.Open(path_);
    set_.Open("Select * from [stored]");
  }
  std::vector<std::string> ListIds() {
    std::vector<std::string> ids;
    for (set_.Requery(); !set_.IsEOF(); set_.MoveNext()) {
      ids.push_back(DaoValueText(set_.GetFieldValue("id")));
    }
    return ids;
  }
  void Find(const std::string& id) {
    set_.m_strFilter = "id = " + id;
    set_.Requery();
  }
  std::string AddMessage(const std::string& text) {
    set_.AddNew();
    set_.SetFieldValue("Message", text);
    const std::string id = DaoValueText(set_.GetFieldValue("id"));
    set_.Update();
    return id;
  }
  std::string Text() { return DaoValueText(set_.GetFieldValue(1)); }

  ScratchDir dir_;
  std::string path_ = dir_.MakeDb();
  RawDb raw_{path_};
  CDaoDatabase db_;
  CDaoRecordset set_{&db_};
};

TEST_F(Stored, AddGivesANewIdBeforeTheSaveAndAnEditKeepsIt) {
  raw_.Exec("INSERT INTO stored VALUES (7, 'seven'), (3, NULL)");
  EXPECT_EQ(ListIds(), (std::vector<std::string>{"3", "7"}));
  const std::string text = "It's 5 o'clock -- call \"home\"; 100% sure";
  EXPECT_EQ(AddMessage(text), "8");
  Find("8");
  ASSERT_EQ(set_.GetRecordCount(), 1);
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(set_.GetFieldValue(0), DaoValue(std::int64_t{8}));
  set_.Edit();
  set_.SetFieldValue("Message", "new");
  set_.Update();
  EXPECT_EQ(raw_.Text("SELECT group_concat(id || ':' || Message) FROM stored"), "7:seven,8:new");
  EXPECT_THROW(set_.SetFieldValue("Message", "x"), CDaoException);  // nothing pending
  set_.Edit();
  EXPECT_THROW(set_.SetFieldValue("id", "9"), CDaoException);
  EXPECT_THROW(set_.SetFieldValue("Nope", "9"), CDaoException);
  Find("3");  // an absent message reads as null, by position or by any case of its name
  EXPECT_EQ(set_.GetFieldValue(1), DaoValue{});
  EXPECT_EQ(DaoValueText(set_.GetFieldValue("message")), "");
  Find("4");
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_TRUE(set_.IsEOF());
}

TEST_F(Stored, DeleteKeepsThePositionUntilTheNextMove) {
  raw_.Exec("INSERT INTO stored VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  set_.Requery();
  set_.MoveNext();
  set_.Delete();
  EXPECT_FALSE(set_.IsEOF());
  EXPECT_THROW(set_.GetFieldValue(1), CDaoException);
  EXPECT_THROW(set_.Edit(), CDaoException);
  EXPECT_THROW(set_.Delete(), CDaoException);
  set_.MoveNext();
  EXPECT_EQ(Text(), "c");
  Find("3");
  set_.Delete();
  set_.MoveNext();
  EXPECT_TRUE(set_.IsEOF());
  set_.m_strFilter = "";
  EXPECT_EQ(ListIds(), std::vector<std::string>{"1"});
}

TEST_F(Stored, UnsupportedQueryOrFilterRunsNoSql) {
  raw_.Exec("INSERT INTO stored VALUES (1, 'keep')");
  CDaoRecordset other(&db_);
  EXPECT_THROW(other.Open("DELETE FROM stored"), CDaoException);
  other.m_strFilter = "id = 1; DELETE FROM stored";
  EXPECT_THROW(other.Open("Select * from [stored]"), CDaoException);
  set_.m_strFilter = "id = 1 OR 1=1";
  EXPECT_THROW(set_.Requery(), CDaoException);
  EXPECT_EQ(raw_.Text("SELECT count(*) FROM stored"), "1");
}

// With 32767 the highest id the next one wraps to the lowest free id, never
// 32768; ids above the range, written by another tool, are not followed.
TEST_F(Stored, IdsStayWithin16BitsAndRunOutClearly) {
  raw_.Exec(
      "WITH RECURSIVE n(x) AS (SELECT 2 UNION ALL SELECT x + 1 FROM n WHERE x < 32767)"
      " INSERT INTO stored SELECT x, 'm' FROM n");
  EXPECT_EQ(AddMessage("the one free id"), "1");
  const std::string error = ErrorOf([&] { set_.AddNew(); });
  EXPECT_NE(error.find("full"), std::string::npos) << error;
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  raw_.Exec("DELETE FROM stored WHERE id = 500; INSERT INTO stored VALUES (40000, 'big')");
  EXPECT_EQ(AddMessage("a gap"), "500");
  EXPECT_THROW(set_.AddNew(), CDaoException);
}

// Two programs on one file: each saves while its result is open, and an id
// the other took meanwhile fails the save, which stays pending.
TEST_F(Stored, TwoConnectionsSaveWithOpenResultsAndAnIdTakenMeanwhileIsReported) {
  raw_.Exec("INSERT INTO stored VALUES (1, 'one')");
  set_.Requery();
  CDaoDatabase other_db;
  other_db.Open(path_);
  CDaoRecordset other(&other_db);
  other.Open("Select * from [stored]");
  set_.AddNew();
  other.AddNew();
  EXPECT_EQ(set_.GetFieldValue("id"), other.GetFieldValue("id"));
  other.SetFieldValue("Message", "theirs");
  other.Update();
  set_.SetFieldValue("Message", "mine");
  const std::string error = ErrorOf([&] { set_.Update(); });
  EXPECT_NE(error.find("taken by another program"), std::string::npos) << error;
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kAdd);
  EXPECT_EQ(raw_.Text("SELECT group_concat(Message) FROM stored"), "one,theirs");
  EXPECT_EQ(AddMessage("mine"), "3");
  other.Edit();
  other.SetFieldValue("Message", "uno");
  other.Update();
  EXPECT_EQ(raw_.Text("SELECT group_concat(id || ':' || Message) FROM stored"),
            "1:uno,2:theirs,3:mine");
}

}  // namespace
}  // namespace zentrel
