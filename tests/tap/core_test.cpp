// The protocol core: checksums (the form's block and negative sums), the
// spelling of control bytes, and the terminal's words picked out of replies.
#include <gtest/gtest.h>

#include "tap/checksum.h"
#include "tap/control_bytes.h"
#include "tap/reply_words.h"

namespace zentrel::tap {
namespace {

TEST(TapCore, Checksums) {
  struct Row {
    const char* name;
    std::string framed;
    std::string checksum;
  };
  const Row rows[] = {
      {"HI, no PIN",
       "\x02\r"
       "HI\r\x03",
       "0;0"},
      {"empty", "\x02\r\r\x03", "01?"},
      {"ETB ends a block",
       std::string("\x02"
                   "1\r"
                   "A\x17"),
       "098"},
      {"bytes 80-FF count negative", "\x02\xff\x03",
       "00"
       "4"},
      {"sum below zero", "\x80\x80", "/00"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(BlockChecksum(row.framed), row.checksum) << row.name;
  }
}

TEST(TapCore, ControlBytesAreSpeltByName) {
  EXPECT_EQ(ControlToken(0x02), "<STX>");
  EXPECT_EQ(ControlToken(0x1A), "<SUB>");
  EXPECT_EQ(ControlToken(0x1F), "<US>");
  EXPECT_EQ(ControlToken('A'), "");
  EXPECT_EQ(ControlName(0x7F), "");
}

TEST(TapCore, TerminalWords) {
  struct Row {
    const char* received;
    const char* words;
  };
  const Row rows[] = {
      {"211 Page accepted\r\x06\r", "211 Page accepted"},
      {"Invalid Pin\r\x1e\r", "Invalid Pin"},
      {"\r\x15\r", "NAK"},
      {"\r\x1e\r", "RS"},
      {"110 1.8\r\x06\r\x1b[p\r", "110 1.8"},
      {"\r\n501 error in block\r", "501 error in block"},
      {"", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(ReplyWords(row.received), row.words) << row.received;
}

}  // namespace
}  // namespace zentrel::tap
