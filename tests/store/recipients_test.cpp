// CZTSet as the form and the recipient dialog use it: the walk, the look-up
// by PIN (any PIN text, looked up literally), add and edit with their
// members, abandoned adds, and text of any length or script.
#include <gtest/gtest.h>

#include "scratch_db.h"
#include "store/dao.h"

namespace zentrel {
namespace {

using testing::RawDb;
using testing::ScratchDir;

class Recipients : public ::testing::Test {
 protected:
  void Add(const std::string& pin, const std::string& fname = "F", const std::string& lname = "L",
           const std::string& phone = "555") {
    set_.AddNew();
    set_.m_pin = pin;
    set_.m_fname = fname;
    set_.m_lname = lname;
    set_.m_pagephone = phone;
    set_.Update();
  }
  void Lookup(const std::string& pin) {
    set_.m_strFilter = "pin = '" + pin + "'";
    set_.Requery();
  }

  ScratchDir dir_;
  std::string path_ = dir_.MakeDb();
  RawDb raw_{path_};
  CZTSet set_{nullptr, path_};
};

TEST_F(Recipients, EmptyTableOpensWithNoCurrentRecord) {
  set_.Open();
  EXPECT_TRUE(set_.IsEOF());
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_EQ(set_.m_pin, "");
  EXPECT_THROW(set_.MoveNext(), CDaoException);
  EXPECT_THROW(set_.Edit(), CDaoException);
  EXPECT_THROW(set_.Delete(), CDaoException);
}

TEST_F(Recipients, WalkVisitsEveryRecordInStoreOrderThenEnds) {
  raw_.Exec("INSERT INTO VPdata VALUES (5,'35','Dev','Patel','5550199'),"
            "(2,'1001','Ann',NULL,'5551234'),(9,'210','Carla','Nguyen','')");
  set_.Open();
  EXPECT_EQ(set_.GetRecordCount(), 3);
  std::vector<std::string> pins;
  for (long walked = 0; walked < set_.GetRecordCount(); ++walked) {
    pins.push_back(set_.m_pin + "/" + std::to_string(set_.m_id) + "/" + set_.m_lname);
    set_.MoveNext();
  }
  EXPECT_EQ(pins, (std::vector<std::string>{"1001/2/", "35/5/Patel", "210/9/Nguyen"}));
  EXPECT_TRUE(set_.IsEOF());
  EXPECT_EQ(set_.m_pin, "");
  EXPECT_THROW(set_.MoveNext(), CDaoException);
}

TEST_F(Recipients, LookupFindsEveryDuplicateAndTheFirstIsCurrent) {
  raw_.Exec("INSERT INTO VPdata VALUES (1,'77','First','A','1'),(2,'8','X','X','2'),"
            "(3,'77','Second','B','3')");
  set_.Open();
  Lookup("77");
  EXPECT_EQ(set_.GetRecordCount(), 2);
  EXPECT_EQ(set_.m_fname, "First");
  set_.MoveNext();
  EXPECT_EQ(set_.m_fname, "Second");
  Lookup("7");
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_TRUE(set_.IsEOF());
  EXPECT_EQ(set_.m_strFilter, "pin = '7'");
  set_.Requery();  // the filter stays in force
  EXPECT_EQ(set_.GetRecordCount(), 0);
}

TEST_F(Recipients, AnyPinIsLookedUpLiterally) {
  const std::vector<std::string> pins = {"O'Neil", "'", "''", "10%", "%", "_", "1--",
                                         "1' OR '1'='1", "x'; DROP TABLE VPdata; --", "Zoë-東京"};
  set_.Open();
  for (const auto& pin : pins) Add(pin, "name of " + pin);
  Add("other");
  for (const auto& pin : pins) {
    SCOPED_TRACE("PIN " + pin);
    Lookup(pin);
    ASSERT_EQ(set_.GetRecordCount(), 1);
    EXPECT_EQ(set_.m_pin, pin);
    EXPECT_EQ(set_.m_fname, "name of " + pin);
  }
  EXPECT_EQ(raw_.Number("SELECT count(*) FROM VPdata"), static_cast<long long>(pins.size()) + 1);
}

TEST_F(Recipients, AddGetsAStoreIdAndEmptyMembersReadBackEmpty) {
  set_.Open();
  set_.AddNew();
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kAdd);
  set_.m_pin = "42";
  set_.Update();
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  Add("43");
  Lookup("42");
  ASSERT_EQ(set_.GetRecordCount(), 1);
  EXPECT_GT(set_.m_id, 0);
  EXPECT_EQ(set_.m_fname, "");
  EXPECT_EQ(set_.m_lname, "");
  EXPECT_EQ(set_.m_pagephone, "");
  const long first = set_.m_id;
  Lookup("43");
  EXPECT_NE(set_.m_id, first);
}

TEST_F(Recipients, AbandonedAddLeavesTheTableAndNextEditStartsFromStoredValues) {
  raw_.Exec("INSERT INTO VPdata VALUES (1,'1001','Ann','Lee','5551234')");
  set_.Open();
  Lookup("1001");
  set_.AddNew();
  set_.m_pin = "999";
  set_.m_fname = "Ghost";
  set_.Requery();
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  EXPECT_EQ(raw_.Number("SELECT count(*) FROM VPdata"), 1);
  set_.AddNew();
  set_.m_fname = "Ghost";
  set_.Edit();
  EXPECT_EQ(set_.m_fname, "Ann");
  set_.m_lname = "Leigh";
  set_.Update();
  EXPECT_EQ(set_.m_lname, "Leigh");
  EXPECT_EQ(raw_.Text("SELECT fname || lname FROM VPdata WHERE id = 1"), "AnnLeigh");
  EXPECT_EQ(raw_.Number("SELECT count(*) FROM VPdata"), 1);
}

TEST_F(Recipients, LongAndNonAsciiTextRoundTrips) {
  std::string long_text;
  for (int i = 0; i < 10000; ++i) long_text += static_cast<char>('a' + i % 26);
  const std::string accents = "Zoë Ångström — 東京 ☎ \xF0\x9F\x93\x9F";
  set_.Open();
  Add("L", long_text, accents, std::string("5\n5\t5", 5));
  CZTSet other(nullptr, path_);
  other.m_strFilter = "pin = 'L'";
  other.Open();
  ASSERT_EQ(other.GetRecordCount(), 1);
  EXPECT_EQ(other.m_fname, long_text);
  EXPECT_EQ(other.m_lname, accents);
  EXPECT_EQ(other.m_pagephone, std::string("5\n5\t5", 5));
  EXPECT_EQ(raw_.Number("SELECT length(fname) FROM VPdata"), 10000);
}

TEST_F(Recipients, LargeResultsReadBackWhole) {
  // Enough rows and text to spread over several of the result's blocks,
  // with one text far larger than a block.
  const std::string fs(49, 'f');
  raw_.Exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 20000)"
            " INSERT INTO VPdata SELECT x, 'p' || x, substr('" + fs + "', 1, x % 50), NULL, x"
            " FROM n;"
            "UPDATE VPdata SET lname = replace(hex(zeroblob(150000)), '0', 'L') WHERE id = 777");
  set_.Open();
  ASSERT_EQ(set_.GetRecordCount(), 20000);
  for (long x = 1; !set_.IsEOF(); ++x, set_.MoveNext()) {
    ASSERT_EQ(set_.m_id, x);
    ASSERT_EQ(set_.m_pin, "p" + std::to_string(x));
    ASSERT_EQ(set_.m_fname, std::string(static_cast<std::size_t>(x % 50), 'f'));
    ASSERT_EQ(set_.m_lname.size(), x == 777 ? 300000u : 0u);
    ASSERT_EQ(set_.m_pagephone, std::to_string(x));
  }
}

TEST_F(Recipients, EditOfARecordDeletedElsewhereFailsAndStaysPending) {
  raw_.Exec("INSERT INTO VPdata VALUES (1,'1001','Ann','Lee','5551234')");
  set_.Open();
  set_.Edit();
  set_.m_fname = "Anne";
  raw_.Exec("DELETE FROM VPdata");
  EXPECT_THROW(set_.Update(), CDaoException);
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kEdit);
  EXPECT_EQ(raw_.Number("SELECT count(*) FROM VPdata"), 0);
}

TEST_F(Recipients, CloseDiscardsThePendingAddAndItsOwnConnection) {
  set_.Open();
  set_.AddNew();
  set_.m_pin = "1";
  set_.Close();
  EXPECT_FALSE(set_.IsOpen());
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  EXPECT_EQ(raw_.Number("SELECT count(*) FROM VPdata"), 0);
  set_.Open();  // opens its connection again
  EXPECT_EQ(set_.GetRecordCount(), 0);
}

}  // namespace
}  // namespace zentrel
