// The dial-string check from one table: what is dialled as typed, and each
// kind of byte that is refused, named with its position.
#include "telephony/dial_string.h"

#include <gtest/gtest.h>

namespace zentrel {
namespace {

TEST(DialString, RefusesWhatADialCommandCannotCarry) {
  const std::pair<std::string, std::string> rows[] = {
      {"5551234", ""},
      {"9,555-1234", ""},
      {"*70,1 (555) 123#W", ""},
      {std::string(40, '5'), ""},
      {std::string(41, '5'), "the number is 41 characters long; a modem dials at most 40"},
      {"555\r1234", "the number holds a carriage return (CR) at position 4; nothing was dialled"},
      {"5551234\n", "the number holds a line feed (LF) at position 8; nothing was dialled"},
      {"555;AT&F", "the number holds a ';' at position 4; nothing was dialled"},
      {"5\x07", "the number holds the control character 0x07 at position 2; nothing was dialled"},
      {"5\x7f", "the number holds the control character 0x7F at position 2; nothing was dialled"},
      {"55\xc3\xa9", "the number holds the non-ASCII byte 0xC3 at position 3; nothing was dialled"},
  };
  for (const auto& [number, problem] : rows)
    EXPECT_EQ(DialStringProblem(number), problem) << number;
}

}  // namespace
}  // namespace zentrel
