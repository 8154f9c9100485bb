// The CSV reader on good and bad input (each bad case names its line) and
// the writer's quoting, checked by reading its output back.
#include "csv.h"

#include <gtest/gtest.h>

#include "tool_error.h"

namespace zentrel::dbtool {
namespace {

using Fields = std::vector<std::vector<std::string>>;

Fields FieldsOf(const std::vector<CsvRecord>& records) {
  Fields fields;
  for (const auto& r : records) fields.push_back(r.fields);
  return fields;
}

TEST(Csv, ReadsGoodInputAndRejectsBadInputNamingTheLine) {
  struct Row {
    const char* name;
    std::string text;
    Fields fields;        // when good
    const char* message;  // when bad: how the error starts
  };
  const Row rows[] = {
      {"plain", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}, nullptr},
      {"no final newline", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}, nullptr},
      {"crlf", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}, nullptr},
      {"empty fields", ",\n,x\n", {{"", ""}, {"", "x"}}, nullptr},
      {"blank lines skipped", "\na,b\n\n\nc,d\n", {{"a", "b"}, {"c", "d"}}, nullptr},
      {"quoted comma", "\"a,1\",b\n", {{"a,1", "b"}}, nullptr},
      {"doubled quotes", "\"O\"\"Neil\",\"\"\"\"\n", {{"O\"Neil", "\""}}, nullptr},
      {"quoted newline", "\"two\nlines\",b\n", {{"two\nlines", "b"}}, nullptr},
      {"empty quoted", "\"\",b\n", {{"", "b"}}, nullptr},
      {"utf-8 and spaces", " Zoë , 東京\n", {{" Zoë ", " 東京"}}, nullptr},
      {"too few", "a,b\nc\n", {}, "line 2: expected 2 fields, found 1"},
      {"too many", "a,b\nc,d,e\n", {}, "line 2: expected 2 fields, found 3"},
      {"after quoted newline", "\"x\ny\",b\nc\n", {}, "line 3: expected 2 fields, found 1"},
      {"never closed",
       "a,b\nc,\"open\nd,e\n",
       {},
       "line 2: the quoted field opened here is never closed"},
      {"text after quote", "a,b\n\"c\"x,d\n", {}, "line 2: text after the closing quote"},
      {"stray quote", "a,b\nc\"d,e\n", {}, "line 2: a quote inside a field"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      EXPECT_EQ(FieldsOf(ParseCsv(row.text, 2)), row.fields);
      EXPECT_EQ(row.message, nullptr) << "accepted";
    } catch (const ToolError& e) {
      ASSERT_NE(row.message, nullptr) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind(row.message, 0), 0u) << e.what();
    }
  }
}

TEST(Csv, WrittenRecordsReadBackUnchanged) {
  const Fields records = {{"plain", "", "a,b", "say \"hi\""},
                          {" lead", "trail ", "two\nlines", "crlf\r\n"},
                          {"O'Neil", "Zoë", "%--", "\""}};
  std::string text;
  for (const auto& r : records) text += FormatCsvRecord(r);
  EXPECT_EQ(FieldsOf(ParseCsv(text, 4)), records);
}

}  // namespace
}  // namespace zentrel::dbtool
