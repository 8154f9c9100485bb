// The full session engine against a scripted terminal: every reply the
// terminal can give at every step, as rows of "terminal says" and "engine
// sends", plus block building, splitting at 250 characters and transparency.
#include "tap/session.h"

#include <gtest/gtest.h>

#include "tap/blocks.h"
#include "tap/checksum.h"

namespace zentrel::tap {
namespace {

using namespace std::chrono_literals;

TEST(TapBlocks, FramingEndsAndChecksums) {
  struct Row {
    const char* name;
    std::vector<std::string> fields;
    std::size_t max_data;
    std::vector<std::string> blocks;  // without checksum and CR
  };
  const Row rows[] = {
      {"one block",
       {"1001", "HI"},
       250,
       {"\x02"
        "1001\rHI\r\x03"}},
      {"empty fields", {"", ""}, 250, {"\x02\r\r\x03"}},
      {"cut inside a field: US",
       {"1", "ABCDEF"},
       5,
       {"\x02"
        "1\rABC\x1f",
        "\x02"
        "DEF\r\x03"}},
      {"cut after a field: ETB",
       {"1234", "AB"},
       5,
       {"\x02"
        "1234\r\x17",
        "\x02"
        "AB\r\x03"}},
      {"a SUB pair is never cut",
       {"1", "AB\x1aM"},
       4,
       {"\x02"
        "1\rAB\x1f",
        "\x02\x1aM\r\x03"}},
  };
  for (const Row& row : rows) {
    const auto blocks = PageBlocks(row.fields, row.max_data);
    ASSERT_EQ(blocks.size(), row.blocks.size()) << row.name;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i], row.blocks[i] + BlockChecksum(row.blocks[i]) + "\r") << row.name << i;
    }
  }
}

TEST(TapBlocks, LongFieldFillsBlocksOf250) {
  const std::string message(600, 'x');
  const auto blocks = PageBlocks({"1001", message});
  ASSERT_EQ(blocks.size(), 3u);
  std::string data;
  for (const auto& b : blocks) {
    const std::size_t payload = b.size() - 6;  // STX, end, 3 checksum, CR
    EXPECT_LE(payload, kMaxBlockData);
    EXPECT_EQ(b.substr(b.size() - 4, 3), BlockChecksum(b.substr(0, b.size() - 4)));
    data += b.substr(1, payload);
  }
  EXPECT_EQ(blocks[0].size(), 256u);
  EXPECT_EQ(blocks[0][251], '\x1f');
  EXPECT_EQ(blocks[2][blocks[2].size() - 5], '\x03');
  EXPECT_EQ(data, "1001\r" + message + "\r");
}

TEST(TapBlocks, Transparency) {
  EXPECT_EQ(EncodeField("a\r\nb\x01", true),
            "a\x1aM\x1aJ"
            "b\x1a"
            "A");
  EXPECT_EQ(EncodeField("a\r\nb\x7f", false), "a  b ");
  EXPECT_EQ(EncodeField("plain", true), "plain");
}

// Records what the engine does, one line per action.
class Recorder : public ISessionIo {
 public:
  void Send(std::string_view bytes) override { log.push_back("send " + Spell(bytes)); }
  void ArmTimer(std::chrono::milliseconds after) override {
    log.push_back("timer " + std::to_string(after.count()));
  }
  void PageDone(std::size_t index, const PageReport& r) override {
    log.push_back("page " + std::to_string(index) + " " + PageStatusName(r.status) +
                  (r.terminal.empty() ? "" : " [" + r.terminal + "]") +
                  (r.reason.empty() ? "" : " (" + r.reason + ")"));
  }
  void Finished() override { log.push_back("finished"); }

  static std::string Spell(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
      if (c == '\r')
        out += "<CR>";
      else if (c == 0x1b)
        out += "<ESC>";
      else if (c == 0x02)
        out += "<STX>";
      else if (c == 0x04)
        out += "<EOT>";
      else if (static_cast<unsigned char>(c) < 0x20)
        out += "<" + std::to_string(int(c)) + ">";
      else
        out += c;
    }
    return out;
  }
  std::vector<std::string> log;
};

constexpr const char* kLogonOk = "110 1.8\r\x06\r\x1b[p\r";

std::string Block(const std::string& pin, const std::string& message) {
  return "send " + Recorder::Spell(PageBlocks({pin, message})[0]);
}

// Steps: a terminal reply ("" is a timer expiry) and the actions it brings.
struct Step {
  std::string reply;
  std::vector<std::string> actions;
};

void Play(const char* name, std::vector<OutgoingPage> pages, const std::vector<Step>& steps) {
  Recorder io;
  TapSession session(std::move(pages), io, {100ms, 3, 1000ms, 3, 3, 1000000});
  session.Start();
  EXPECT_EQ(io.log, (std::vector<std::string>{"send <CR>", "timer 100"})) << name;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    io.log.clear();
    if (steps[i].reply.empty())
      session.TimerExpired();
    else
      session.Receive(steps[i].reply);
    EXPECT_EQ(io.log, steps[i].actions) << name << ", step " << i;
  }
}

const std::vector<std::string> kSendLogon{"send <ESC>PG1<CR>", "timer 1000"};
const std::vector<std::string> kLogOff{"send <EOT><CR>", "timer 1000"};

TEST(TapSession, EveryReply) {
  const std::vector<OutgoingPage> two{{"1001", "one"}, {"1002", "two"}};
  Play("two pages accepted", two,
       {{"ID=", kSendLogon},
        {kLogonOk, {Block("1001", "one"), "timer 1000"}},
        {"211 Page accepted\r\x06\r",
         {"page 0 accepted [211 Page accepted]", Block("1002", "two"), "timer 1000"}},
        {"211 Page accepted\r\x06\r",
         {"page 1 accepted [211 Page accepted]", kLogOff[0], kLogOff[1]}},
        {"115 Goodbye\r\x1b\x04\r", {"finished"}}});
  // The link hands over each read as it comes: an answer acts when it is
  // complete (ID=, or the CR after ACK, NAK, RS, the go-ahead), not before.
  Play("answers in pieces", two,
       {{"I", {}},
        {"D=", kSendLogon},
        {"110 1.8\r\x06", {}},
        {"\r\x1b[p", {}},
        {"\r", {Block("1001", "one"), "timer 1000"}},
        {"211 Page accepted\r\x06", {}},
        {"\r", {"page 0 accepted [211 Page accepted]", Block("1002", "two"), "timer 1000"}},
        {"\x15", {}},
        {"\r", {Block("1002", "two"), "timer 1000"}},
        {"\x1e", {}},
        {"\r", {"page 1 refused (the terminal refused the page)", kLogOff[0], kLogOff[1]}},
        {"115 Goodbye\r\x1b\x04", {}},
        {"\r", {"finished"}}});
  Play("NAK then the resend", {{"1001", "one"}},
       {{"ID=", kSendLogon},
        {kLogonOk, {Block("1001", "one"), "timer 1000"}},
        {"\r\x15\r", {Block("1001", "one"), "timer 1000"}},
        {"\x06\r", {"page 0 accepted", kLogOff[0], kLogOff[1]}}});
  Play("three NAKs give up the page", {{"1001", "one"}},
       {{"ID=", kSendLogon},
        {kLogonOk, {Block("1001", "one"), "timer 1000"}},
        {"\x15\r", {Block("1001", "one"), "timer 1000"}},
        {"\x15\r", {Block("1001", "one"), "timer 1000"}},
        {"514 Checksum error\r\x15\r",
         {"page 0 not sent [514 Checksum error] (the terminal refused the block 3 times)",
          kLogOff[0], kLogOff[1]}}});
  Play("RS mid-batch", two,
       {{"ID=", kSendLogon},
        {kLogonOk, {Block("1001", "one"), "timer 1000"}},
        {"Invalid Pin\r\x1e\r",
         {"page 0 refused [Invalid Pin] (Invalid Pin)", Block("1002", "two"), "timer 1000"}},
        {"\x06\r", {"page 1 accepted", kLogOff[0], kLogOff[1]}}});
  Play("forced disconnect", two,
       {{"ID=", kSendLogon},
        {kLogonOk, {Block("1001", "one"), "timer 1000"}},
        {"\x1b\x04\r",
         {"page 0 not sent (the terminal ended the session)",
          "page 1 not sent (the terminal ended the session)", "finished"}}});
  Play("no ID= after three wake-ups", two,
       {{"", {"send <CR>", "timer 100"}},
        {"", {"send <CR>", "timer 100"}},
        {"",
         {"page 0 not sent (the terminal did not ask for the log-on)",
          "page 1 not sent (the terminal did not ask for the log-on)", "finished"}}});
  Play("log-on refused three times", {{"1001", "one"}},
       {{"ID=", kSendLogon},
        {"\x15\r", kSendLogon},
        {"\x15\r", kSendLogon},
        {"\x15\r", {"page 0 not sent (the terminal refused the log-on)", kLogOff[0], kLogOff[1]}}});
  Play("no answer to a block: resent, then given up", {{"1001", "one"}},
       {{"ID=", kSendLogon},
        {kLogonOk, {Block("1001", "one"), "timer 1000"}},
        {"", {Block("1001", "one"), "timer 1000"}},
        {"", {Block("1001", "one"), "timer 1000"}},
        {"", {"page 0 not sent (the terminal did not answer the block)", kLogOff[0], kLogOff[1]}},
        {"", {"finished"}}});
}

TEST(TapSession, ReplyTimeOutCountsTheBlocksLineTime) {
  Recorder io;
  TapSession session({{"1001", std::string(300, 'x')}}, io);  // 300 bit/s, 10 s
  session.Start();
  session.Receive("ID=");
  EXPECT_EQ(io.log.back(), "timer 10166") << "5 bytes of log-on";
  session.Receive(kLogonOk);
  EXPECT_EQ(io.log.back(), "timer 18533") << "a full block of 256 bytes";
}

TEST(TapSession, TransparencyFollowsTheAnnouncedVersion) {
  struct Row {
    const char* logon;
    bool transparent;
  };
  const Row rows[] = {{"110 1.8\r\x06\r\x1b[p\r", true},
                      {"110 1.9\r\x06\r\x1b[p\r", true},
                      {"110 1.6\r\x06\r\x1b[p\r", false},
                      {"\x06\r\x1b[p\r", false}};
  for (const Row& row : rows) {
    Recorder io;
    TapSession session({{"1", "a\r\nb"}}, io);
    session.Start();
    session.Receive("ID=");
    session.Receive(row.logon);
    EXPECT_EQ(session.transparent(), row.transparent) << row.logon;
    const std::string sent = io.log.at(io.log.size() - 2);
    EXPECT_NE(sent.find(row.transparent ? "a<26>M<26>Jb" : "a  b"), std::string::npos) << sent;
  }
  EXPECT_EQ(AnnouncedVersion("110 1.8"), 18);
  EXPECT_EQ(AnnouncedVersion("211 1.8"), 0);
}

}  // namespace
}  // namespace zentrel::tap
