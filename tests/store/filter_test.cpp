// The filter and query texts the store accepts, and how it reads them: the
// PIN is everything between "pin = '" and the final quote, taken literally
// (PINs full of quotes and SQL are looked up end to end with the recipients);
// every other text is refused before it can become SQL.
#include "store/filter.h"

#include <gtest/gtest.h>

#include "store/schema.h"

namespace zentrel::store {
namespace {

using Kind = Filter::Kind;

TEST(Filter, ParsesTheTwoFormsAndRejectsAllElse) {
  struct Row {
    const char* text;
    Kind kind;
    std::string pin;
    std::int64_t id;
  };
  const Row accepted[] = {
      {"", Kind::kNone, "", 0},         {"pin = '1001'", Kind::kPin, "1001", 0},
      {"pin = ''", Kind::kPin, "", 0},  {"pin = 'O'Neil'", Kind::kPin, "O'Neil", 0},
      {"id = 7", Kind::kId, "", 7},     {"id = 007", Kind::kId, "", 7},
      {"id = -12", Kind::kId, "", -12},
  };
  for (const Row& row : accepted) {
    SCOPED_TRACE(std::string("filter: [") + row.text + "]");
    const Filter filter = ParseFilter(row.text);
    EXPECT_EQ(filter.kind, row.kind);
    EXPECT_EQ(filter.pin, row.pin);
    EXPECT_EQ(filter.id, row.id);
  }
  for (const char* text :
       {"pin = '", "pin = 1001", "pin='1001'", "pin = '1001' ", "PIN = '1001'", "id = ", "id = -",
        "id = 7 OR 1=1", "id = 7; DROP TABLE stored", "id = 0x10", "id = +7",
        "id = 99999999999999999999", "fname = 'Ann'", "1=1"}) {
    EXPECT_THROW(ParseFilter(text), CDaoException) << "filter: [" << text << "]";
  }
}

TEST(Query, AcceptsOnlyTheTwoTablesInBracketsOrSelectStar) {
  const std::pair<const char*, const char*> accepted[] = {{"[VPdata]", "VPdata"},
                                                          {"Select * from [stored]", "stored"},
                                                          {"SELECT * FROM [stored]", "stored"},
                                                          {"[stored]", "stored"},
                                                          {"Select * from [VPdata]", "VPdata"}};
  for (const auto& [text, table] : accepted) EXPECT_EQ(ParseQuery(text).name, table) << text;
  for (const char* text : {"VPdata", "Select * from stored", "Select id from [stored]",
                           "Select * from [stored] where 1", "[sqlite_master]", ""}) {
    EXPECT_THROW(ParseQuery(text), CDaoException) << "query: [" << text << "]";
  }
}

}  // namespace
}  // namespace zentrel::store
