// The CSV reader on good and bad input (each bad case names its line) and
// the writer's quoting, checked by reading its output back.
#include <gtest/gtest.h>

#include "csv.h"
#include "tool_error.h"

namespace zentrel::dbtool {
namespace {

using Fields = std::vector<std::vector<std::string>>;

Fields FieldsOf(const std::vector<CsvRecord>& records) {
  Fields fields;
  for (const auto& r : records) fields.push_back(r.fields);
  return fields;
}

TEST(Csv, ReadsGoodInput) {
  struct Row {
    const char* name;
    std::string text;
    Fields fields;
  };
  const Row rows[] = {
      {"plain", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
      {"no final newline", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
      {"crlf", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"empty fields", ",\n,x\n", {{"", ""}, {"", "x"}}},
      {"blank lines skipped", "\na,b\n\n\nc,d\n", {{"a", "b"}, {"c", "d"}}},
      {"quoted comma", "\"a,1\",b\n", {{"a,1", "b"}}},
      {"doubled quotes", "\"O\"\"Neil\",\"\"\"\"\n", {{"O\"Neil", "\""}}},
      {"quoted newline", "\"two\nlines\",b\n", {{"two\nlines", "b"}}},
      {"empty quoted", "\"\",b\n", {{"", "b"}}},
      {"utf-8 and spaces", " Zoë , 東京\n", {{" Zoë ", " 東京"}}},
      {"apostrophe", "O'Neil,x\n", {{"O'Neil", "x"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FieldsOf(ParseCsv(row.text, 2)), row.fields);
  }
}

TEST(Csv, RejectsBadInputNamingTheLine) {
  struct Row {
    const char* name;
    std::string text;
    const char* message;
  };
  const Row rows[] = {
      {"too few", "a,b\nc\n", "line 2: expected 2 fields, found 1"},
      {"too many", "a,b\nc,d,e\n", "line 2: expected 2 fields, found 3"},
      {"after quoted newline", "\"x\ny\",b\nc\n", "line 3: expected 2 fields, found 1"},
      {"never closed", "a,b\nc,\"open\nd,e\n", "line 2: the quoted field opened here is never closed"},
      {"text after quote", "a,b\n\"c\"x,d\n", "line 2: text after the closing quote"},
      {"stray quote", "a,b\nc\"d,e\n", "line 2: a quote inside a field"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      ParseCsv(row.text, 2);
      ADD_FAILURE() << "accepted";
    } catch (const ToolError& e) {
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
  EXPECT_EQ(FormatCsvRecord({"1001", "Ann", "Lee", "5551234"}), "1001,Ann,Lee,5551234\n");
}

}  // namespace
}  // namespace zentrel::dbtool
