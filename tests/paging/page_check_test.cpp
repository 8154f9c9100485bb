// What a send lets through, from one table: PINs that would be cut, control
// characters, spaces and letters the line cannot carry in the PIN and number,
// control characters in the message, and messages longer than a
// page, cut on a UTF-8 character boundary with a notice. Then the same
// refusals where the block is built, when the boxes change during a call.
#include "paging/page_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "fakes.h"
#include "paging/message_block.h"
#include "paging/send_request.h"
#include "paging/transaction.h"
#include "seriallink/trace.h"

namespace zentrel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kEuro = "\xE2\x82\xAC";  // three bytes, one character

TEST(PageCheck, RefusalsAndNoticesOfOneRequest) {
  struct Row {
    const char* name;
    PageRequest request;
    const char* refusal;  // how it starts; "" when it may go
    const char* notice;   // how it starts; "" when nothing is cut
  };
  const Row rows[] = {
      {"plain", {"1001", "Pump 3 down\r\nCall ops", "5551234"}, "", ""},
      {"empty message", {"1001", "", "5551234"}, "", ""},
      {"empty PIN", {"", "hi", "5551234"}, "The PIN is empty; nothing was sent.", ""},
      {"empty number", {"1001", "hi", ""}, "The phone number is empty; nothing was dialled.", ""},
      {"number of 31", {"1001", "hi", std::string(31, '7')}, "", ""},
      {"number of 32, never cut",
       {"1001", "hi", std::string(32, '7')},
       "The phone number \"77777777777777777777777777777777\" has 32 characters, more than the 31",
       ""},
      {"PIN of 7", {"1234567", "hi", "555"}, "", ""},
      {"PIN of 8",
       {"12345678", "hi", "555"},
       "The PIN \"12345678\" has more than 7 characters; the page would reach PIN \"1234567\"",
       ""},
      {"CR in PIN",
       {"10\r01", "hi", "555"},
       "The PIN holds the control character <CR> (character 3)",
       ""},
      {"tab in PIN",
       {"\t1", "hi", "555"},
       "The PIN holds the control character <0x09> (character 1)",
       ""},
      {"space in PIN",
       {"10 01", "hi", "555"},
       "The PIN holds a space (character 3); nothing was sent.",
       ""},
      {"letter the line cannot carry in PIN",
       {"10\xC3\xBC", "hi", "555"},
       "The PIN holds \"\xC3\xBC\" (character 3), which the line cannot carry; nothing was sent.",
       ""},
      {"byte that is not UTF-8 in PIN",
       {"1\xE9", "hi", "555"},
       "The PIN holds the byte <0xE9> (character 2), which the line cannot carry",
       ""},
      {"C1 control in PIN",
       {"1\xC2\x9B", "hi", "555"},
       "The PIN holds the control character <0x9B> (character 2)",
       ""},
      {"long PIN with a space: the space is named",
       {"1234567 8", "hi", "555"},
       "The PIN holds a space (character 8)",
       ""},
      {"letter no modem dials in number",
       {"1001", "hi", "555\xC3\xA9"},
       "The phone number holds \"\xC3\xA9\" (character 4), which no line can dial; nothing was "
       "dialled.",
       ""},
      {"CR in number",
       {"1001", "hi", "5553333\rAT&F&W"},
       "The phone number holds the control character <CR> (character 8)",
       ""},
      {"DEL in number",
       {"1001", "hi", "555\x7f"},
       "The phone number holds the control character <0x7F>",
       ""},
      {"ETX in message",
       {"1001", "a" + kEuro + "\x03", "555"},
       "The message holds the control character <ETX> (character 3); only line breaks",
       ""},
      {"lone CR and LF in message", {"1001", "a\rb\nc", "555"}, "", ""},
      {"NUL in message",
       {"1001", std::string("a\0b", 3), "555"},
       "The message holds the control character <NUL>",
       ""},
      {"message of 199", {"1001", std::string(199, 'A'), "555"}, "", ""},
      {"message of 250",
       {"1001", std::string(250, 'A'), "555"},
       "",
       "The message is longer than a page holds (199 bytes): only its first 199 of 250 characters"},
      {"euro across the cut",
       {"1001", std::string(198, 'A') + kEuro, "555"},
       "",
       "The message is longer than a page holds (199 bytes): only its first 198 of 199 characters"},
  };
  for (const Row& row : rows) {
    const StartedSend check = CheckSend(row.request);
    EXPECT_EQ(check.refusal.rfind(row.refusal, 0), 0u) << row.name << ": " << check.refusal;
    EXPECT_EQ(check.refusal.empty(), *row.refusal == '\0') << row.name;
    EXPECT_EQ(check.notice.rfind(row.notice, 0), 0u) << row.name << ": " << check.notice;
    EXPECT_EQ(check.notice.empty(), *row.notice == '\0') << row.name;
  }
}

TEST(PageCheck, MessageIsCutBeforeACharacterThatWouldNotFitWhole) {
  const std::string a196(196, 'A');
  struct Row {
    const char* name;
    std::string message;
    std::size_t sent;  // bytes of the message field
  } rows[] = {
      {"ASCII", std::string(300, 'A'), 199},
      {"two-byte character ends at 199", a196 + "B\xC3\xA9" + "x", 199},
      {"two-byte character across 199", a196 + "BC\xC3\xA9", 198},
      {"three bytes across 199", a196 + "B" + kEuro, 197},
      {"four bytes across 199", a196 + "\xF0\x9F\x93\x9F", 196},
      {"stray continuation bytes", a196 + "\x80\x80\x80\x80\x80", 199},
      {"Latin-1 byte before ASCII", a196 + "BC\xE9" + "D", 199},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MessageField(row.message), row.message.substr(0, row.sent)) << row.name;
    const std::string block = ComposeMessageBlock("1", row.message);
    EXPECT_EQ(block.size(), 9 + row.sent) << row.name;  // PIN "1" and 8 framing bytes
  }
}

// The check that importers and the gateway use is the send's own.
TEST(PageCheck, RecipientRefusalIsTheSendsCheckOfPinAndNumber) {
  const struct {
    const char* pin;
    std::string phone;
  } rows[] = {{"1001", "5551234"},
              {"", "5551234"},
              {"12345678", "5551234"},
              {"1001", ""},
              {"1001", std::string(41, '5')},
              {"1\x1b", "555"},
              {"1001", "555\r"}};
  for (const auto& row : rows) {
    EXPECT_EQ(RecipientRefusal(row.pin, row.phone), CheckSend({row.pin, "hi", row.phone}).refusal)
        << row.pin << " " << row.phone;
  }
}

// The boxes change between the start of the send and the go-ahead.
TEST(PageCheck, ABlockTheBoxesCannotMakeIsNeitherSentNorCountedAsSent) {
  TraceCapture quiet;
  testing::FakePageForm form;
  testing::FakeLink link;
  CPageTransaction transaction(form, [&] { return &link; });
  const struct {
    std::string pin, message;
    const char* status;
  } rows[] = {
      {"12345678", "hi", "The PIN \"12345678\" has more than 7 characters"},
      {"1\r2", "hi", "The PIN holds the control character <CR>"},
      {"1\xC3\xBC", "hi", "The PIN holds \"\xC3\xBC\" (character 2), which the line cannot"},
      {"1", "a\x04", "The message holds the control character <EOT>"}};
  for (const auto& row : rows) {
    ClearTransactionFlags();
    form.pin = row.pin;
    form.message = row.message;
    form.statuses.clear();
    transaction.ProcessReceivedData("\x1b[p\r", 4);
    EXPECT_THAT(link.offered, IsEmpty()) << row.pin;
    EXPECT_EQ(g_bBlockSent, 0) << row.pin;
    ASSERT_EQ(form.statuses.size(), 1u) << row.pin;
    EXPECT_EQ(form.statuses[0].rfind(row.status, 0), 0u) << form.statuses[0];
  }
}

}  // namespace
}  // namespace zentrel
