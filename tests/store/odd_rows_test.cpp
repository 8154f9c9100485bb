// Rows that another program may have written: empty texts (an empty first
// value once crashed every reader), nulls, numbers and blobs where text is
// expected. Each is read the ways the program reads: the form's walk and
// look-up by PIN, and the stored-messages listing by id and position.
#include <gtest/gtest.h>

#include "scratch_db.h"

namespace zentrel {
namespace {

using testing::RawDb;
using testing::ScratchDir;

TEST(OddRows, EveryReaderTakesEmptyNullNumericAndBlobValues) {
  struct Row {
    const char* name;
    const char* pin_sql;      // the pin value as SQL, then the other columns
    std::string pin;          // as read back
    const char* message_sql;  // the first stored message
    std::string message;
    long found;  // by a look-up of `pin`: a null or a blob never equals a text
  };
  const Row rows[] = {
      {"empty first values", "''", "", "''", "", 1},
      {"nulls", "NULL", "", "NULL", "", 0},
      {"numbers", "1001", "1001", "42", "42", 1},
      {"empty blobs", "x''", "", "x''", "", 0},
      {"blobs with bytes", "x'4142'", "AB", "x'00'", std::string(1, '\0'), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScratchDir dir;
    const std::string path = dir.MakeDb();
    RawDb raw(path);
    raw.Exec(std::string("INSERT INTO VPdata VALUES (1,") + row.pin_sql + ",'',NULL,'')," +
             "(2,'2','Ann','Lee','555');INSERT INTO stored VALUES (1," + row.message_sql +
             "),(2,'Call the office');");

    CZTSet set(nullptr, path);  // the form's start-up walk, then its look-ups
    set.Open();
    std::vector<std::string> pins;
    for (long n = 0; n < set.GetRecordCount(); ++n, set.MoveNext()) pins.push_back(set.m_pin);
    EXPECT_EQ(pins, (std::vector<std::string>{row.pin, "2"}));
    set.m_strFilter = "pin = '" + row.pin + "'";
    set.Requery();
    EXPECT_EQ(set.GetRecordCount(), row.found);
    EXPECT_EQ(set.m_pagephone, "");

    CDaoDatabase db;  // the Stored Messages dialog's listing
    db.Open(path);
    CDaoRecordset messages(&db);
    messages.Open("Select * from [stored]");
    std::vector<std::string> listed;
    for (; !messages.IsEOF(); messages.MoveNext()) {
      listed.push_back(DaoValueText(messages.GetFieldValue("id")) + ":" +
                       DaoValueText(messages.GetFieldValue(1)));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"1:" + row.message, "2:Call the office"}));
  }
}

}  // namespace
}  // namespace zentrel
