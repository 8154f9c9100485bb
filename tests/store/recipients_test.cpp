// CZTSet as the form and the recipient dialog use it: the walk, the look-up
// by PIN (any PIN text, looked up literally and case for case), add and edit
// with their members and text of any length or script, abandoned adds, large
// results.
#include <gtest/gtest.h>

#include <set>

#include "scratch_db.h"

namespace zentrel {
namespace {

using testing::RawDb;
using testing::ScratchDir;

class Recipients : public ::testing::Test {
 protected:
  void Add(const std::string& pin, const std::string& fname = "", const std::string& lname = "",
           const std::string& phone = "") {
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

TEST_F(Recipients, WalkVisitsEveryRecordInStoreOrderAndLookupFindsEveryDuplicate) {
  set_.Open();
  EXPECT_TRUE(set_.IsEOF());
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_THROW(set_.Edit(), CDaoException);
  EXPECT_THROW(set_.Delete(), CDaoException);
  raw_.Exec(
      "INSERT INTO VPdata VALUES (5,'35','Dev','Patel','5550199'),"
      "(2,'1001','Ann',NULL,'5551234'),(9,'35','Carla','Nguyen','')");
  set_.Requery();
  EXPECT_EQ(set_.GetRecordCount(), 3);
  std::vector<std::string> walked;
  for (long i = 0; i < set_.GetRecordCount(); ++i, set_.MoveNext()) {
    walked.push_back(set_.m_pin + "/" + std::to_string(set_.m_id) + "/" + set_.m_lname);
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"1001/2/", "35/5/Patel", "35/9/Nguyen"}));
  EXPECT_TRUE(set_.IsEOF());
  EXPECT_EQ(set_.m_pin, "");
  EXPECT_THROW(set_.MoveNext(), CDaoException);
  Lookup("35");
  EXPECT_EQ(set_.GetRecordCount(), 2);
  EXPECT_EQ(set_.m_fname, "Dev");
  set_.MoveNext();
  EXPECT_EQ(set_.m_fname, "Carla");
  Lookup("3");
  EXPECT_EQ(set_.GetRecordCount(), 0);
  EXPECT_TRUE(set_.IsEOF());
  set_.Requery();  // the filter stays in force
  EXPECT_EQ(set_.GetRecordCount(), 0);
}

// PINs that would break a query spliced together from text or that differ
// only in case, with members of any length or script.
TEST_F(Recipients, AnyTextIsSavedAndLookedUpLiterally) {
  std::string long_text;
  for (int i = 0; i < 10000; ++i) long_text += static_cast<char>('a' + i % 26);
  const std::string accents = "Zoë Ångström — 東京 ☎ \xF0\x9F\x93\x9F";
  // "abc" and "ABC" are two people: paging one must never reach the other.
  const std::vector<std::string> pins = {"O'Neil",
                                         "'",
                                         "''",
                                         "10%",
                                         "%",
                                         "_",
                                         "1--",
                                         "abc",
                                         "ABC",
                                         "1' OR '1'='1",
                                         "x'; DROP TABLE VPdata; --",
                                         "Zoë-東京"};
  set_.Open();
  for (const auto& pin : pins) Add(pin, pin + long_text, accents, "5\n5\t5");
  Add("other");
  std::set<long> ids;
  for (const auto& pin : pins) {
    SCOPED_TRACE("PIN " + pin);
    Lookup(pin);
    ASSERT_EQ(set_.GetRecordCount(), 1);
    EXPECT_EQ(set_.m_pin, pin);
    EXPECT_EQ(set_.m_fname, pin + long_text);
    EXPECT_EQ(set_.m_lname, accents);
    EXPECT_EQ(set_.m_pagephone, "5\n5\t5");
    ids.insert(set_.m_id);
  }
  EXPECT_EQ(ids.size(), pins.size());  // each add gets its own id from the store
  Lookup("other");                     // members left unset read back empty
  EXPECT_EQ(set_.m_fname + set_.m_lname + set_.m_pagephone, "");
  EXPECT_EQ(raw_.Text("SELECT count(*) FROM VPdata"), std::to_string(pins.size() + 1));
  EXPECT_EQ(raw_.Text("SELECT length(fname) FROM VPdata WHERE pin = '%'"), "10001");
}

TEST_F(Recipients, AbandonedAddsLeaveTheTableAndAnEditStartsFromStoredValues) {
  raw_.Exec("INSERT INTO VPdata VALUES (1,'1001','Ann','Lee','5551234')");
  set_.Open();
  set_.AddNew();
  set_.m_pin = "999";
  set_.Requery();  // abandons the add
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  EXPECT_THROW(set_.Update(), CDaoException);
  set_.AddNew();
  set_.m_fname = "Ghost";
  set_.Edit();  // abandons the add
  EXPECT_EQ(set_.m_fname, "Ann");
  set_.m_lname = "Leigh";
  set_.Update();
  EXPECT_EQ(raw_.Text("SELECT fname || lname FROM VPdata WHERE id = 1"), "AnnLeigh");
  set_.AddNew();
  set_.m_pin = "2";
  set_.Close();  // abandons the add and closes its own connection
  EXPECT_EQ(set_.GetEditMode(), CDaoRecordset::EditMode::kNone);
  EXPECT_EQ(raw_.Text("SELECT count(*) FROM VPdata"), "1");
  set_.Open();  // opens its connection again
  EXPECT_EQ(set_.GetRecordCount(), 1);
}

TEST_F(Recipients, LargeResultsReadBackWhole) {
  // Enough rows and text to spread over several of the result's blocks,
  // with one text far larger than a block.
  const std::string fs(49, 'f');
  raw_.Exec(
      "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 20000)"
      " INSERT INTO VPdata SELECT x, 'p' || x, substr('" +
      fs +
      "', 1, x % 50), NULL, x"
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

}  // namespace
}  // namespace zentrel
