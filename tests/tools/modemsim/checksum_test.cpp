// The block checksum and field split, from known blocks (including ones with
// bytes above 7F, whose negative sums must still give the program's digits).
#include <gtest/gtest.h>

#include <string>

#include "tap_block.h"

namespace zentrel::modemsim {
namespace {

TEST(BlockChecksum, KnownBlocks) {
  struct Row {
    const char* name;
    std::string framed;  // STX .. ETX
    std::string checksum;
  };
  const Row rows[] = {
      {"empty PIN, HI", std::string("\x02\r" "HI\r\x03"), "0;0"},
      {"empty PIN, empty message", std::string("\x02\r\r\x03"), "01?"},
      // S = 1232 = 0x4D0: digits 4, 13 (the equals sign), 0.
      {"PIN and message", std::string("\x02" "1234567\r" "Call home\r\x03"), "4=0"},
      // One byte E9 counts as -23: S = 2 + 13 - 23 + 13 + 3 = 8.
      {"byte above 7F", std::string("\x02\r\xE9\r\x03"), "008"},
      // Four bytes FF: S = 2 + 13 - 4 + 13 + 3 = 27 = 0x1B.
      {"sum stays positive", std::string("\x02\r\xFF\xFF\xFF\xFF\r\x03"), "01;"},
      // Twenty bytes 80: S = 31 - 2560 = -2529; -2529/256 = -9, %16 = -9 ->
      // 0x27; -2529/16 = -158, %16 = -14 -> 0x22; -2529%16 = -1 -> 0x2F.
      {"negative sum", "\x02\r" + std::string(20, '\x80') + "\r\x03", "'\"/"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(BlockChecksum(row.framed), row.checksum) << row.name;
  }
}

TEST(SplitBlock, Fields) {
  struct Row {
    const char* name;
    std::string framed;
    std::string pin;
    std::string message;
  };
  const Row rows[] = {
      {"both", std::string("\x02" "123\rHello\r\x03"), "123", "Hello"},
      {"empty", std::string("\x02\r\r\x03"), "", ""},
      {"line break in message", std::string("\x02" "7\rab\r\ncd\r\x03"), "7", "ab\r\ncd"},
      {"no separator", std::string("\x02" "999\x03"), "999", ""},
  };
  for (const Row& row : rows) {
    const BlockFields fields = SplitBlock(row.framed);
    EXPECT_EQ(fields.pin, row.pin) << row.name;
    EXPECT_EQ(fields.message, row.message) << row.name;
  }
}

TEST(Readable, SpellsControlAndHighBytes) {
  EXPECT_EQ(Readable(std::string("\rID=\x06\x1b[p\x80\x7f", 10)), "<CR>ID=<ACK><ESC>[p<x80><x7F>");
  EXPECT_EQ(Hex(std::string("\x02\r\xff", 3)), "020dff");
}

}  // namespace
}  // namespace zentrel::modemsim
