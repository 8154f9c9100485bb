// The message block and its checksum, byte by byte, including the limits of
// the two boxes and bytes above 7F (which count as negative values).
#include "paging/message_block.h"

#include <gtest/gtest.h>

#include <string>

namespace zentrel {
namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char b : bytes) {
    if (!hex.empty()) hex += ' ';
    hex += digits[b >> 4];
    hex += digits[b & 0x0F];
  }
  return hex;
}

TEST(MessageBlock, BlocksByteForByte) {
  struct Row {
    const char* name;
    std::string pin;
    std::string message;
    std::string block;
  } rows[] = {
      {"HI, empty PIN", "", "HI",
       "\x02\rHI\r\x03"
       "0;0\r"},
      {"both empty", "", "",
       "\x02\r\r\x03"
       "01?\r"},
      {"PIN of 8 and message of 250 cut to 7 and 199", "12345678", std::string(250, 'A'),
       "\x02"
       "1234567\r" +
           std::string(199, 'A') +
           "\r\x03"
           "412\r"},
      {"line breaks kept", "1", "A\r\nB",
       "\x02"
       "1\rA\r\nB\r\x03"
       "0>:\r"},
      {"box text ends at NUL",
       std::string("12\0"
                   "34",
                   5),
       "X",
       "\x02"
       "12\rX\r\x03"
       "0=:\r"},
      {"byte above 7F, sum still positive", "", "\xE9",
       "\x02\r\xE9\r\x03"
       "008\r"},
      // 40 x 80: S = 31 - 5120 = -5089; the truncating arithmetic gives
      // characters below '0'.
      {"sum negative", "", std::string(40, '\x80'),
       "\x02\r" + std::string(40, '\x80') +
           "\r\x03"
           "-\"/\r"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Hex(ComposeMessageBlock(row.pin, row.message)), Hex(row.block)) << row.name;
  }
}

TEST(MessageBlock, ChecksumCharacters) {
  struct Row {
    int sum;
    const char* chars;
  } rows[] = {{0, "000"},     {31, "01?"}, {176, "0;0"},    {4095, "???"}, {4096, "000"},
              {13330, "412"}, {-1, "00/"}, {-5089, "-\"/"}, {-4095, "!!!"}};
  for (const Row& row : rows) {
    EXPECT_EQ(ChecksumChars(row.sum), row.chars) << "S = " << row.sum;
  }
}

}  // namespace
}  // namespace zentrel
