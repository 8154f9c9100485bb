// The page transaction over a fake form and link: each reply rule, several
// rules in one block, replies across blocks, long blocks, the trace line,
// refused posts and the wake-up tick.
#include "paging/transaction.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "seriallink/trace.h"

namespace zentrel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Texts = std::vector<std::string>;

const std::string kLogOn = "\x1bPG1\r";
const std::string kLogOff = "\x04\r";
const std::string kBlockHi =
    "\x02"
    "1\rHI\r\x03"
    "0>1\r";  // PIN "1", "HI"

struct Flags {
  int logon, block, accepted;
  bool operator==(const Flags&) const = default;
};

Flags CurrentFlags() { return {g_bLogonSent, g_bBlockSent, g_bPageAccepted}; }

void SetFlags(Flags f) {
  g_bLogonSent = f.logon;
  g_bBlockSent = f.block;
  g_bPageAccepted = f.accepted;
}

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearTransactionFlags();
    form_.pin = "1";
    form_.message = "HI";
  }
  int Receive(const std::string& bytes) {
    return transaction_.ProcessReceivedData(bytes.c_str(), bytes.size());
  }

  TraceCapture quiet_trace_;  // keeps the trace lines out of the test log
  testing::FakePageForm form_;
  testing::FakeLink link_;
  ILinkWriter* current_ = &link_;
  CPageTransaction transaction_{form_, [this] { return current_; }};
};

TEST_F(TransactionTest, EachReplyInOneBlock) {
  const Texts none;
  struct Row {
    const char* name;
    Flags before;
    std::string received;
    Texts sent;
    Texts statuses;
    Flags after;
  } rows[] = {
      {"Invalid Pin", {0, 0, 0}, "\rInvalid Pin\r", none, {"Invalid PIN Number"}, {0, 0, 0}},
      {"INVALID ACCOUNT", {0, 0, 0}, "INVALID ACCOUNT", none, {"Invalid PIN Number"}, {0, 0, 0}},
      {"INVALID PIN is no match", {0, 0, 0}, "INVALID PIN", none, {}, {0, 0, 0}},
      {"RS", {1, 1, 0}, "x\r\x1e\r", none, {"Error, check PIN and try again!"}, {1, 1, 0}},
      {"NAK", {1, 1, 0}, "\r\x15\rx", none, {"Error, check PIN and try again!"}, {1, 1, 0}},
      {"ID=", {0, 0, 0}, "\r\nID=", {kLogOn}, {"Sending Message."}, {1, 0, 0}},
      {"ID= again", {1, 1, 1}, "ID=", none, {}, {1, 1, 1}},
      {"go-ahead again after the block", {1, 1, 0}, "\r\x1b[p\r", none, {}, {1, 1, 0}},
      {"go-ahead", {1, 0, 0}, "\r\x1b[p\r", {kBlockHi}, {"Sending Message..."}, {1, 1, 0}},
      {"go-ahead without log-on",
       {0, 0, 0},
       "\x1b[p\r",
       {kBlockHi},
       {"Sending Message..."},
       {0, 1, 0}},
      {"ACK after block", {1, 1, 0}, "\r\x06\r", {kLogOff}, {"Message Sent!"}, {1, 1, 1}},
      {"ACK before block", {1, 0, 0}, "\r\x06\r", none, {}, {1, 0, 0}},
      {"ACK with go-ahead",
       {1, 0, 0},
       "\r\x06\r\x1b[p\r",
       {kBlockHi},
       {"Sending Message..."},
       {1, 1, 0}},
      {"error, not sent",
       {1, 1, 0},
       "error",
       none,
       {"Error, page not sent, check PIN number."},
       {1, 1, 0}},
      {"error, page sent", {1, 1, 1}, "error", none, {"Error, but page sent."}, {1, 1, 1}},
      {"capital Error only", {0, 0, 0}, "Error: ''\n", none, {}, {0, 0, 0}},
      {"line error report",
       {0, 0, 0},
       "Error: 'framing error'\n",
       none,
       {"Error, page not sent, check PIN number."},
       {0, 0, 0}},
      {"INVALID ACCOUNT and error, last wins",
       {0, 0, 0},
       "INVALID ACCOUNT error",
       none,
       {"Invalid PIN Number", "Error, page not sent, check PIN number."},
       {0, 0, 0}},
      {"all seven, in order",
       {0, 1, 0},
       "Invalid Pin\r\x1e\r\x15\rID=\r\x06\r\x1b[p\r error",
       {kLogOn, kLogOff},
       {"Invalid PIN Number", "Error, check PIN and try again!", "Error, check PIN and try again!",
        "Sending Message.", "Message Sent!", "Error, but page sent."},
       {1, 1, 1}},
      {"leading NUL", {0, 0, 0}, std::string("\0ID=", 4), none, {}, {0, 0, 0}},
      {"lower-case id=", {0, 0, 0}, "id=", none, {}, {0, 0, 0}},
  };
  for (const Row& row : rows) {
    SetFlags(row.before);
    form_.statuses.clear();
    link_.offered.clear();
    EXPECT_EQ(Receive(row.received), 1) << row.name;
    EXPECT_EQ(link_.offered, row.sent) << row.name;
    EXPECT_EQ(form_.statuses, row.statuses) << row.name;
    EXPECT_TRUE(CurrentFlags() == row.after) << row.name;
  }
}

TEST_F(TransactionTest, AckCountsOnlyInALaterBlock) {
  Receive("\r\x06\r\x1b[p\r");
  EXPECT_EQ(g_bPageAccepted, 0);
  Receive("\r\x06\r");
  EXPECT_THAT(link_.offered, ElementsAre(kBlockHi, kLogOff));
  EXPECT_EQ(form_.statuses.back(), "Message Sent!");
  EXPECT_EQ(g_bPageAccepted, 1);
}

TEST_F(TransactionTest, SplitAckIsNotRecognised) {
  g_bBlockSent = 1;
  Receive("\r\x06");
  Receive("\r");
  EXPECT_THAT(link_.offered, IsEmpty());
  EXPECT_THAT(form_.statuses, IsEmpty());
  EXPECT_EQ(g_bPageAccepted, 0);
}

// A terminal slower than the wake-up answers two CRs with two prompts. A
// second log-on would bring a second ACK and go-ahead after the block: the
// page would be sent twice and a refused one shown as sent.
TEST_F(TransactionTest, ASecondPromptGetsNoSecondLogOn) {
  Receive("ID=");
  Receive("\rID=");
  Receive("110 1.8\r\x06\r\x1b[p\r");
  Receive("\r\x15\r");
  EXPECT_THAT(link_.offered, ElementsAre(kLogOn, kBlockHi));
  EXPECT_THAT(form_.statuses, ElementsAre("Sending Message.", "Sending Message...",
                                          "Error, check PIN and try again!"));
  EXPECT_EQ(g_bPageAccepted, 0);
}

TEST_F(TransactionTest, BlockIsComposedFromTheBoxesAsTheyAreNow) {
  Receive("\x1b[p\r");
  form_.pin = "";
  form_.message = "HI";
  g_bBlockSent = 0;  // one block per call: a new call's go-ahead
  Receive("\x1b[p\r");
  EXPECT_THAT(link_.offered, ElementsAre(kBlockHi,
                                         "\x02\rHI\r\x03"
                                         "0;0\r"));
}

TEST_F(TransactionTest, TraceCarriesTheWholeReadableText) {
  TraceCapture trace;
  Receive("\rID=");
  Receive(std::string("\0x", 2));
  const std::string long_block(2048, '\x06');
  Receive(long_block);
  std::string long_readable;
  for (int i = 0; i < 2048; ++i) long_readable += "<ACK>";
  EXPECT_THAT(trace.Lines(), ElementsAre("<CR>ID=\n", "<NUL>\n", long_readable + "\n"));
}

TEST_F(TransactionTest, ReplyAtTheEndOfALongBlockIsRecognised) {
  Receive(std::string(2045, '\x15') + "ID=");
  EXPECT_THAT(link_.offered, ElementsAre(kLogOn));
  EXPECT_EQ(g_bLogonSent, 1);
}

TEST_F(TransactionTest, RefusedOrMissingLinkChangesNothingElse) {
  for (const bool has_link : {true, false}) {
    ClearTransactionFlags();
    form_.statuses.clear();
    link_.accepts = false;  // the transaction must release each copy itself
    current_ = has_link ? &link_ : nullptr;
    Receive("ID=\x1b[p\r");
    Receive("\r\x06\r");
    EXPECT_TRUE(CurrentFlags() == (Flags{1, 1, 1})) << has_link;
    EXPECT_THAT(form_.statuses,
                ElementsAre("Sending Message.", "Sending Message...", "Message Sent!"))
        << has_link;
  }
  EXPECT_THAT(link_.offered, ElementsAre(kLogOn, kBlockHi, kLogOff));
}

TEST_F(TransactionTest, TimerWakesTheTerminalUntilLogOnWentOut) {
  EXPECT_TRUE(transaction_.OnTimerTick());
  EXPECT_TRUE(transaction_.OnTimerTick());
  Receive("ID=");
  EXPECT_FALSE(transaction_.OnTimerTick());
  EXPECT_THAT(link_.offered, ElementsAre("\r", "\r", kLogOn));
  EXPECT_THAT(form_.statuses, ElementsAre("Preparing to send message...",
                                          "Preparing to send message...", "Sending Message."));
}

}  // namespace
}  // namespace zentrel
