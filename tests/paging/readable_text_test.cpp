// Readable text: every byte value once against the token table, and the
// cases where the text ends early or is empty.
#include "paging/readable_text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace zentrel {
namespace {

TEST(ReadableText, EveryByteIsItsTokenOrItself) {
  const std::map<int, std::string> tokens = {{0x02, "<STX>"}, {0x03, "<ETX>"}, {0x04, "<EOT>"},
                                             {0x06, "<ACK>"}, {0x0A, "<LF>"},  {0x0D, "<CR>"},
                                             {0x15, "<NAK>"}, {0x17, "<ETB>"}, {0x1B, "<ESC>"},
                                             {0x1E, "<RS>"},  {0x1F, "<US>"}};
  for (int byte = 1; byte <= 0xFF; ++byte) {  // 01, 7F and 80-FF included
    const std::string received = "a" + std::string(1, static_cast<char>(byte)) + "b";
    const auto token = tokens.find(byte);
    const std::string middle =
        token != tokens.end() ? token->second : std::string(1, static_cast<char>(byte));
    EXPECT_EQ(ReadableText(received), "a" + middle + "b") << "byte " << byte;
  }
}

TEST(ReadableText, TextEndsAtFirstNul) {
  struct Row {
    const char* name;
    std::string received;
    std::string readable;
  } rows[] = {
      {"empty", std::string(), "<NUL>"},
      {"leading NUL", std::string("\0ID=", 4), "<NUL>"},
      {"NUL inside", std::string("\rID\0=", 5), "<CR>ID"},
      {"prompt", "\r\nID=", "<CR><LF>ID="},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ReadableText(row.received), row.readable) << row.name;
  }
}

}  // namespace
}  // namespace zentrel
