// The block checksum of bytes above 7F, whose negative sums must still give
// the program's digits, and the field split. (Blocks of plain text are
// checked where the session and the real program receive them.)
#include <gtest/gtest.h>

#include <string>

#include "tap_block.h"

namespace zentrel::modemsim {
namespace {

TEST(BlockChecksum, BytesAbove7FCountNegative) {
  const std::pair<std::string, std::string> rows[] = {
      // One byte E9 counts as -23: S = 2 + 13 - 23 + 13 + 3 = 8.
      {std::string("\x02\r\xE9\r\x03"), "008"},
      // Four bytes FF: S = 2 + 13 - 4 + 13 + 3 = 27 = 0x1B.
      {std::string("\x02\r\xFF\xFF\xFF\xFF\r\x03"), "01;"},
      // Twenty bytes 80: S = 31 - 2560 = -2529; -2529/256 = -9, %16 = -9 ->
      // 0x27; -2529/16 = -158, %16 = -14 -> 0x22; -2529%16 = -1 -> 0x2F.
      {"\x02\r" + std::string(20, '\x80') + "\r\x03", "'\"/"},
  };
  for (const auto& [framed, checksum] : rows) {
    EXPECT_EQ(BlockChecksum(framed), checksum) << Hex(framed);
  }
}

TEST(SplitBlock, Fields) {
  struct Row {
    std::string framed, pin, message;
  };
  const Row rows[] = {
      {std::string("\x02\r\r\x03"), "", ""},
      {std::string("\x02"
                   "7\rab\r\ncd\r\x03"),
       "7", "ab\r\ncd"},
      {std::string("\x02"
                   "999\x03"),
       "999", ""},  // no separator
  };
  for (const Row& row : rows) {
    const BlockFields fields = SplitBlock(row.framed);
    EXPECT_EQ(fields.pin, row.pin) << Readable(row.framed);
    EXPECT_EQ(fields.message, row.message) << Readable(row.framed);
  }
}

TEST(Readable, SpellsControlAndHighBytes) {
  EXPECT_EQ(Readable(std::string("\rID=\x06\x1b[p\x80\x7f", 10)), "<CR>ID=<ACK><ESC>[p<x80><x7F>");
  EXPECT_EQ(Hex(std::string("\x02\r\xff", 3)), "020dff");
}

}  // namespace
}  // namespace zentrel::modemsim
