// Text from outside (a terminal's words, a message, a name) never reaches
// a terminal raw: controls that move the cursor, change colours, retitle the
// window or reorder the text are written out; valid UTF-8 text is kept.
#include "base/terminal_text.h"

#include <gtest/gtest.h>

namespace zentrel {
namespace {

TEST(TerminalSafe, EscapesEveryControlKeepsText) {
  const struct {
    const char* name;
    std::string in;
    std::string out;
  } rows[] = {
      {"plain", "211 Page accepted", "211 Page accepted"},
      {"line breaks", "a\r\nb\tc", "a\\r\\nb\\tc"},
      {"colour escape", "\x1b[31mred", "\\x1b[31mred"},
      {"window title", "\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
      {"NUL and DEL", std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
      {"backslash doubled", "C:\\x41", "C:\\\\x41"},
      {"UTF-8 kept", "Zoë → café", "Zoë → café"},
      {"C1 CSI",
       "\xc2\x9b"
       "2J",
       "\\u009b2J"},
      {"NEL",
       "a\xc2\x85"
       "b",
       "a\\u0085b"},
      {"no-break space kept",
       "a\xc2\xa0"
       "b",
       "a\xc2\xa0"
       "b"},
      {"right-to-left override",
       "abc\xe2\x80\xae"
       "fdp.exe",
       "abc\\u202efdp.exe"},
      {"isolate", "\xe2\x81\xa6x", "\\u2066x"},
      {"lone continuation", "a\x80z", "a\\x80z"},
      {"cut sequence at end", "ab\xe2\x82", "ab\\xe2\\x82"},
      {"overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
      {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
      {"beyond Unicode", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      {"four-byte kept", "\xf0\x9f\x93\x9f", "\xf0\x9f\x93\x9f"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TerminalSafe(row.in), row.out) << row.name;
  }
}

}  // namespace
}  // namespace zentrel
