// The filter and query texts the store accepts, and how it reads them: the
// PIN is everything between "pin = '" and the final quote, taken literally.
#include <gtest/gtest.h>

#include "store/filter.h"
#include "store/schema.h"

namespace zentrel::store {
namespace {

using Kind = Filter::Kind;

TEST(Filter, ParsesTheTwoFormsAndRejectsAllElse) {
  struct Row {
    const char* text;
    bool ok;
    Kind kind;
    std::string pin;
    std::int64_t id;
  };
  const Row rows[] = {
      {"", true, Kind::kNone, "", 0},
      {"pin = '1001'", true, Kind::kPin, "1001", 0},
      {"pin = ''", true, Kind::kPin, "", 0},
      {"pin = 'O'Neil'", true, Kind::kPin, "O'Neil", 0},
      {"pin = ''''", true, Kind::kPin, "''", 0},
      {"pin = '1' OR '1'='1'", true, Kind::kPin, "1' OR '1'='1", 0},
      {"pin = '10%'", true, Kind::kPin, "10%", 0},
      {"pin = '1--'", true, Kind::kPin, "1--", 0},
      {"pin = 'Zoë 東京'", true, Kind::kPin, "Zoë 東京", 0},
      {"id = 7", true, Kind::kId, "", 7},
      {"id = 007", true, Kind::kId, "", 7},
      {"id = -12", true, Kind::kId, "", -12},
      {"id = 32767", true, Kind::kId, "", 32767},
      {"pin = '", false, Kind::kNone, "", 0},
      {"pin = 1001", false, Kind::kNone, "", 0},
      {"pin='1001'", false, Kind::kNone, "", 0},
      {"pin = '1001' ", false, Kind::kNone, "", 0},
      {"PIN = '1001'", false, Kind::kNone, "", 0},
      {"id = ", false, Kind::kNone, "", 0},
      {"id = -", false, Kind::kNone, "", 0},
      {"id = 7 OR 1=1", false, Kind::kNone, "", 0},
      {"id = 7; DROP TABLE stored", false, Kind::kNone, "", 0},
      {"id = 0x10", false, Kind::kNone, "", 0},
      {"id = +7", false, Kind::kNone, "", 0},
      {"id = 99999999999999999999", false, Kind::kNone, "", 0},
      {"fname = 'Ann'", false, Kind::kNone, "", 0},
      {"1=1", false, Kind::kNone, "", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("filter: [") + row.text + "]");
    if (!row.ok) {
      EXPECT_THROW(ParseFilter(row.text), CDaoException);
      continue;
    }
    const Filter filter = ParseFilter(row.text);
    EXPECT_EQ(filter.kind, row.kind);
    EXPECT_EQ(filter.pin, row.pin);
    EXPECT_EQ(filter.id, row.id);
  }
}

TEST(Query, AcceptsOnlyTheTwoTablesInBracketsOrSelectStar) {
  struct Row {
    const char* text;
    const char* table;  // nullptr: rejected
  };
  const Row rows[] = {
      {"[VPdata]", "VPdata"},
      {"Select * from [stored]", "stored"},
      {"SELECT * FROM [stored]", "stored"},
      {"[stored]", "stored"},
      {"Select * from [VPdata]", "VPdata"},
      {"VPdata", nullptr},
      {"Select * from stored", nullptr},
      {"Select id from [stored]", nullptr},
      {"Select * from [stored] where 1", nullptr},
      {"[sqlite_master]", nullptr},
      {"", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("query: [") + row.text + "]");
    if (row.table == nullptr) {
      EXPECT_THROW(ParseQuery(row.text), CDaoException);
    } else {
      EXPECT_EQ(ParseQuery(row.text).name, row.table);
    }
  }
}

}  // namespace
}  // namespace zentrel::store
