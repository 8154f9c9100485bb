// What a typed message becomes on the line: each row a text as typed (UTF-8)
// and what the block's message field carries, with the notice the user gets.
#include "paging/line_text.h"

#include <gtest/gtest.h>

namespace zentrel {
namespace {

struct Row {
  const char* name;
  std::string typed;
  std::string sent;
  std::string notice;
};

const Row kRows[] = {
    {"plain ASCII unchanged", "Call 555-0100 now!", "Call 555-0100 now!", ""},
    {"accents dropped, sharp s spelt", "Grüße aus Köln, señor", "Grusse aus Koln, senor",
     "The line carries plain letters only: ü goes as u, ß as ss, ö as o, ñ as n."},
    {"euro as a word", "ü €", "u EUR",
     "The line carries plain letters only: ü goes as u, € as EUR."},
    {"ligatures and special letters", "Æbleø Œuvre Łódź þorn", "AEbleo OEuvre Lodz thorn", ""},
    {"typographic quotes and dashes", "\u201Cyes\u201D \u2013 it\u2019s\u2026", "\"yes\" - it's...",
     ""},
    {"line breaks as one space each", "line one\r\nline two\nthree\rfour",
     "line one line two three four", ""},
    {"no reading: a question mark", "ok \U0001F600", "ok ?",
     "The line carries plain letters only: \U0001F600 goes as ?."},
    {"soft hyphen and zero width vanish", "a\u00ADb\u200Bc", "abc", ""},
    {"a lone 8-bit byte read as Latin-1", "caf\xE9", "cafe", ""},
    {"a cut UTF-8 sequence read as Latin-1", "x\xC3", "xA", ""},
};

TEST(LineText, TypedTextAsTheLineCarriesIt) {
  for (const Row& row : kRows) {
    EXPECT_EQ(PageMessageText(row.typed), row.sent) << row.name;
    if (!row.notice.empty()) {
      EXPECT_EQ(LineAsciiNotice(row.typed), row.notice) << row.name;
    }
    EXPECT_EQ(LineAsciiNotice(row.typed).empty(), ToLineAscii(row.typed) == row.typed) << row.name;
    for (const char c : PageMessageText(row.typed)) {
      EXPECT_TRUE(c >= 0x20 && c < 0x7F)
          << row.name << ": byte " << int(static_cast<unsigned char>(c));
    }
  }
}

}  // namespace
}  // namespace zentrel
