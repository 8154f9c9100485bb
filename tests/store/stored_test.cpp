// The stored-messages recordset as the dialogs use it: list ids, find by
// "id = n", add with an id readable before the save, edit, delete then move,
// and the id range 1..32767 running out.
#include <gtest/gtest.h>

#include "scratch_db.h"
#include "store/dao.h"

namespace zentrel {
namespace {

using testing::RawDb;
using testing::ScratchDir;

class Stored : public ::testing::Test {
 protected:
  void SetUp() override { db_.Open(path_); }
  void OpenSet() { set_.Open("Select * from [stored]"); }
  std::vector<std::string> ListIds() {
    std::vector<std::string> ids;
    for (; !set_.IsEOF(); set_.MoveNext()) ids.push_back(DaoValueText(set_.GetFieldValue("id")));
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

  ScratchDir dir_;
  std::string path_ = dir_.MakeDb();
  RawDb raw_{path_};
  CDaoDatabase db_;
  CDaoRecordset set_{&db_};
};

TEST_F(Stored, EmptyTableListsNothing) {
  OpenSet();
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_TRUE(ListIds().empty());
}

TEST_F(Stored, AddGivesANewIdBeforeTheSaveAndFindReturnsTheText) {
  raw_.Exec("INSERT INTO stored VALUES (7, 'seven'), (3, 'three')");
  OpenSet();
  EXPECT_EQ(ListIds(), (std::vector<std::string>{"3", "7"}));
  const std::string text = "It's 5 o'clock -- call \"home\"; 100% sure";
  const std::string id = AddMessage(text);
  EXPECT_EQ(id, "8");
  Find(id);
  ASSERT_EQ(set_.GetRecordCount(), 1);
  EXPECT_EQ(DaoValueText(set_.GetFieldValue(1)), text);
  EXPECT_EQ(set_.GetFieldValue(0), DaoValue(std::int64_t{8}));
  Find("4");
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_TRUE(set_.IsEOF());
}

TEST_F(Stored, EditChangesTheTextAndKeepsTheId) {
  raw_.Exec("INSERT INTO stored VALUES (7, 'old')");
  OpenSet();
  Find("7");
  set_.Edit();
  EXPECT_EQ(DaoValueText(set_.GetFieldValue(1)), "old");
  set_.SetFieldValue("Message", "new");
  EXPECT_EQ(DaoValueText(set_.GetFieldValue(1)), "new");
  EXPECT_EQ(DaoValueText(set_.GetFieldValue("id")), "7");
  set_.Update();
  EXPECT_EQ(DaoValueText(set_.GetFieldValue(1)), "new");
  EXPECT_EQ(raw_.Text("SELECT Message FROM stored WHERE id = 7"), "new");
  EXPECT_THROW(set_.SetFieldValue("Message", "x"), CDaoException);  // nothing pending
  set_.Edit();
  EXPECT_THROW(set_.SetFieldValue("id", "9"), CDaoException);
  EXPECT_THROW(set_.SetFieldValue("Nope", "9"), CDaoException);
}

TEST_F(Stored, DeleteKeepsThePositionUntilTheNextMove) {
  raw_.Exec("INSERT INTO stored VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  OpenSet();
  set_.MoveNext();
  set_.Delete();
  EXPECT_FALSE(set_.IsEOF());
  EXPECT_THROW(set_.GetFieldValue(1), CDaoException);
  EXPECT_THROW(set_.Edit(), CDaoException);
  EXPECT_THROW(set_.Delete(), CDaoException);
  set_.MoveNext();
  EXPECT_EQ(DaoValueText(set_.GetFieldValue(1)), "c");
  Find("3");
  set_.Delete();
  set_.MoveNext();
  EXPECT_TRUE(set_.IsEOF());
  EXPECT_EQ(raw_.Text("SELECT group_concat(id) FROM stored"), "1");
  Find("1");
  set_.Delete();
  set_.Close();
  OpenSet();
  EXPECT_TRUE(ListIds().empty());
}

TEST_F(Stored, BeginAddThenRequeryWithoutSaveChangesNothing) {
  OpenSet();
  set_.AddNew();
  set_.SetFieldValue("Message", "never saved");
  set_.Requery();
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  EXPECT_THROW(set_.Update(), CDaoException);
  EXPECT_EQ(raw_.Number("SELECT count(*) FROM stored"), 0);
}

TEST_F(Stored, IdsStayWithin16BitsAndRunOutClearly) {
  raw_.Exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 32767)"
            " INSERT INTO stored SELECT x, 'm' FROM n");
  OpenSet();
  try {
    set_.AddNew();
    FAIL() << "begin add succeeded with every id in use";
  } catch (const CDaoException& e) {
    EXPECT_NE(std::string(e.what()).find("full"), std::string::npos) << e.what();
  }
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  raw_.Exec("DELETE FROM stored WHERE id IN (1, 500)");
  EXPECT_EQ(AddMessage("first gap"), "1");
  EXPECT_EQ(AddMessage("next gap"), "500");
  EXPECT_THROW(set_.AddNew(), CDaoException);
}

TEST_F(Stored, IdsAboveTheRangeFromAnotherToolAreNotFollowed) {
  raw_.Exec("INSERT INTO stored VALUES (40000, 'big'), (2, 'two')");
  OpenSet();
  EXPECT_EQ(AddMessage("new"), "1");
  EXPECT_EQ(AddMessage("newer"), "3");
}

TEST_F(Stored, AnIdTakenByAnotherProgramBeforeTheSaveIsReportedAndStaysPending) {
  OpenSet();
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
  try {
    set_.Update();
    ADD_FAILURE() << "saved over another program's message";
  } catch (const CDaoException& e) {
    EXPECT_NE(std::string(e.what()).find("taken by another program"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kAdd);
  EXPECT_EQ(raw_.Text("SELECT group_concat(Message) FROM stored"), "theirs");
  EXPECT_EQ(AddMessage("mine"), "2");
}

TEST_F(Stored, AbsentMessageReadsAsNull) {
  raw_.Exec("INSERT INTO stored VALUES (4, NULL)");
  OpenSet();
  EXPECT_EQ(set_.GetFieldValue(1), DaoValue{});
  EXPECT_EQ(DaoValueText(set_.GetFieldValue("message")), "");
}

}  // namespace
}  // namespace zentrel
