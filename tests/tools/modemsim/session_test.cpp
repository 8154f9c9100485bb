// The modem and terminal logic as a caller meets it: command lines, dialling,
// each scenario's answers, split input. Every row runs whole and again cut
// into chunks of 1, 2, 3 and 7 bytes, which must not change a single reply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session.h"

namespace zentrel::modemsim {
namespace {

// Input steps; these words stand for the server's timers.
const std::string kDialDone = "<dial-done>";
const std::string kIdle = "<idle>";
const std::string kGuard = "<guard>";

struct Outcome {
  std::string sent;                  // every SendBytes, concatenated
  std::vector<std::string> numbers;  // DialStarted
  std::vector<BlockReceived> blocks;
  std::vector<CallEnded> ends;
  Session::Mode mode = Session::Mode::kCommand;
};

void Collect(const Actions& actions, Outcome& out) {
  for (const Action& action : actions) {
    if (auto* s = std::get_if<SendBytes>(&action)) out.sent += s->bytes;
    if (auto* d = std::get_if<DialStarted>(&action)) out.numbers.push_back(d->number);
    if (auto* b = std::get_if<BlockReceived>(&action)) out.blocks.push_back(*b);
    if (auto* e = std::get_if<CallEnded>(&action)) out.ends.push_back(*e);
  }
}

Outcome Play(Scenario scenario, const std::vector<std::string>& steps, std::size_t chunk) {
  Session session(scenario, 2);
  Outcome out;
  for (const std::string& step : steps) {
    if (step == kDialDone) {
      Collect(session.DialDone(), out);
    } else if (step == kIdle) {
      Collect(session.IdleTimeout(), out);
    } else if (step == kGuard) {
      Collect(session.GuardSilence(), out);
    } else {
      const std::size_t size = chunk == 0 ? step.size() : chunk;
      for (std::size_t i = 0; i < step.size(); i += size) {
        Collect(session.Receive(step.substr(i, size)), out);
      }
    }
  }
  out.mode = session.mode();
  return out;
}

std::vector<std::string> Connected(std::vector<std::string> rest) {
  std::vector<std::string> steps{"ATE0\r", "ATDT5551234\r", kDialDone};
  steps.insert(steps.end(), rest.begin(), rest.end());
  return steps;
}

const std::string kConnectPrefix = "ATE0\r\r\nOK\r\n\r\nCONNECT 300\r\n";
const std::string kLogon = "\x1bPG1\r";
const std::string kLogonReply = "110 1.8\r\x06\r\x1b[p\r";
const std::string kBlockHi = std::string("\x02\rHI\r\x03") + "0;0\r";
const std::string kBlockEmpty = std::string("\x02\r\r\x03") + "01?\r";
const std::string kBadBlock = std::string("\x02\rHI\r\x03") + "0;1\r";
const std::string kLogoff = "\x04\r";
const std::string kGoodbyeAndDrop = "115 Goodbye\r\x1b\x04\r\r\nNO CARRIER\r\n";
const std::string kNoCarrier = "\r\nNO CARRIER\r\n";

struct Row {
  const char* name;
  Scenario scenario;
  std::vector<std::string> steps;
  std::string sent;
  std::vector<std::string> valid_blocks;  // "ok"/"bad" per block seen
  std::vector<bool> ends;                 // drop_line of each CallEnded
  Session::Mode mode;
};

std::vector<Row> Rows() {
  using M = Session::Mode;
  const auto S = Scenario::kAccept;
  return {
      {"AT with echo", S, {"AT\r"}, "AT\r\r\nOK\r\n", {}, {}, M::kCommand},
      {"echo off after ATE0", S, {"ATE0\r", "AT\r"}, "ATE0\r\r\nOK\r\n\r\nOK\r\n", {}, {}, M::kCommand},
      {"E0 inside a longer command", S, {"ATE0V1Q0\r", "AT\r"},
       "ATE0V1Q0\r\r\nOK\r\n\r\nOK\r\n", {}, {}, M::kCommand},
      {"ATZ turns echo back on", S, {"ATE0\r", "ATZ\r", "AT\r"},
       "ATE0\r\r\nOK\r\n\r\nOK\r\nAT\r\r\nOK\r\n", {}, {}, M::kCommand},
      {"not a command: echo only", S, {"hello\r"}, "hello\r", {}, {}, M::kCommand},
      {"ATH and LF ignored", S, {"ATE0\r\n", "ATH0\r\n"}, "ATE0\r\r\nOK\r\n\r\nOK\r\n", {}, {}, M::kCommand},
      {"dialling", S, {"ATE0\r", "ATDT5551234\r"}, "ATE0\r\r\nOK\r\n", {}, {}, M::kDialing},
      {"a byte aborts the dial", S, {"ATE0\r", "ATDT5551234\r", "\r", kDialDone, "AT\r"},
       "ATE0\r\r\nOK\r\n\r\nNO CARRIER\r\n\r\nOK\r\n", {}, {false}, M::kCommand},
      {"escape and ATH", S, Connected({"\r", kGuard, "+++", kGuard, "ATH\r"}),
       kConnectPrefix + "ID=\r\nOK\r\n\r\nOK\r\n", {}, {false}, M::kCommand},
      {"+++ without a silence before is data", S, Connected({"\r", "+++", kGuard, "AT\r"}),
       kConnectPrefix + "ID=ID=", {}, {}, M::kOnline},
      {"ATO returns to the call", S, Connected({kGuard, "+++", kGuard, "ATO\r", "\r"}),
       kConnectPrefix + "\r\nOK\r\n\r\nCONNECT 300\r\nID=", {}, {}, M::kOnline},
      {"accepted page", S, Connected({"\r", kLogon, kBlockHi, kLogoff}),
       kConnectPrefix + "ID=" + kLogonReply + "211 Page accepted\r\x06\r" + kGoodbyeAndDrop,
       {"ok"}, {true}, M::kEnded},
      {"empty PIN and message", S, Connected({"\r", kLogon, kBlockEmpty}),
       kConnectPrefix + "ID=" + kLogonReply + "211 Page accepted\r\x06\r", {"ok"}, {}, M::kOnline},
      {"log-on with password", S, Connected({"\r", "\x1bPG1abc123\r"}),
       kConnectPrefix + "ID=" + kLogonReply, {}, {}, M::kOnline},
      {"password too long", S, Connected({"\r", "\x1bPG1abcdefg\r"}),
       kConnectPrefix + "ID=\x15\r", {}, {}, M::kOnline},
      {"wake-up repeated before log-on", S, Connected({"\r", "\r", kLogon, "\r"}),
       kConnectPrefix + "ID=ID=" + kLogonReply, {}, {}, M::kOnline},
      {"block before log-on dropped", S, Connected({"\r", kBlockHi}),
       kConnectPrefix + "ID=", {}, {}, M::kOnline},
      {"bad checksum", S, Connected({"\r", kLogon, kBadBlock}),
       kConnectPrefix + "ID=" + kLogonReply + "514 Checksum error\r\x15\r", {"bad"}, {}, M::kOnline},
      {"junk between frames", S, Connected({"\r", "xx" + kLogon + "\x7f", kBlockHi}),
       kConnectPrefix + "ID=" + kLogonReply + "211 Page accepted\r\x06\r", {"ok"}, {}, M::kOnline},
      {"idle terminal disconnects after log-on", S, Connected({"\r", kIdle, kLogon, kIdle, "\r"}),
       kConnectPrefix + "ID=" + kLogonReply + "\x1b\x04\r" + kNoCarrier, {}, {true}, M::kEnded},
      {"invalid-pin", Scenario::kInvalidPin, Connected({"\r", kLogon, kBlockHi}),
       kConnectPrefix + "ID=" + kLogonReply + "Invalid Pin\r\x1e\r", {"ok"}, {}, M::kOnline},
      {"nak", Scenario::kNak, Connected({"\r", kLogon, kBlockHi}),
       kConnectPrefix + "ID=" + kLogonReply + "\r\x15\r", {"ok"}, {}, M::kOnline},
      {"rs", Scenario::kRs, Connected({"\r", kLogon, kBlockHi}),
       kConnectPrefix + "ID=" + kLogonReply + "\r\x1e\r", {"ok"}, {}, M::kOnline},
      {"error-text", Scenario::kErrorText, Connected({"\r", kLogon, kBlockHi}),
       kConnectPrefix + "ID=" + kLogonReply + "501 error in block\r", {"ok"}, {}, M::kOnline},
      {"hangup-after-logon", Scenario::kHangupAfterLogon, Connected({"\r", kLogon, kBlockHi}),
       kConnectPrefix + "ID=" + kLogonReply + kNoCarrier, {}, {true}, M::kEnded},
      {"slow: two wake-ups unanswered", Scenario::kSlow, Connected({"\r", "\r", "\r"}),
       kConnectPrefix + "ID=", {}, {}, M::kOnline},
      {"busy", Scenario::kBusy, Connected({"AT\r"}),
       "ATE0\r\r\nOK\r\n\r\nBUSY\r\n\r\nOK\r\n", {}, {false}, M::kCommand},
      {"no-answer", Scenario::kNoAnswer, Connected({}),
       "ATE0\r\r\nOK\r\n\r\nNO ANSWER\r\n", {}, {false}, M::kCommand},
      {"no-dialtone", Scenario::kNoDialtone, Connected({}),
       "ATE0\r\r\nOK\r\n\r\nNO DIALTONE\r\n", {}, {false}, M::kCommand},
  };
}

TEST(Session, RepliesWholeAndSplit) {
  for (const Row& row : Rows()) {
    for (std::size_t chunk : {0u, 1u, 2u, 3u, 7u}) {
      const Outcome out = Play(row.scenario, row.steps, chunk);
      const std::string where = std::string(row.name) + ", chunk " + std::to_string(chunk);
      EXPECT_EQ(out.sent, row.sent) << where;
      std::vector<std::string> verdicts;
      for (const auto& block : out.blocks) verdicts.push_back(block.valid ? "ok" : "bad");
      EXPECT_EQ(verdicts, row.valid_blocks) << where;
      std::vector<bool> ends;
      for (const auto& end : out.ends) ends.push_back(end.drop_line);
      EXPECT_EQ(ends, row.ends) << where;
      EXPECT_EQ(out.mode, row.mode) << where;
    }
  }
}

TEST(Session, ReportsNumberAndBlockFields) {
  const Outcome out = Play(Scenario::kAccept,
                           {"atdt 555-1234\r", kDialDone, "\r", kLogon,
                            std::string("\x02" "1234567\rCall home\r\x03") + "4=0\r"},
                           0);
  EXPECT_EQ(out.numbers, std::vector<std::string>{"555-1234"});
  ASSERT_EQ(out.blocks.size(), 1u);
  EXPECT_EQ(out.blocks[0], (BlockReceived{"1234567", "Call home", "4=0", true}));
}

TEST(ParseCommandLine, Commands) {
  struct CmdRow {
    const char* line;
    bool is_at;
    std::optional<bool> echo;
    std::optional<std::string> dial;
  };
  const CmdRow rows[] = {
      {"AT", true, std::nullopt, std::nullopt},
      {"at&f", true, true, std::nullopt},
      {"ATS0=0E0", true, false, std::nullopt},
      {"ATE1", true, true, std::nullopt},
      {"ATE", true, false, std::nullopt},
      {"ATDP 12 34 ", true, std::nullopt, "12 34"},
      {"ATE0DT5551234", true, false, "5551234"},
      {"A", false, std::nullopt, std::nullopt},
      {"XAT", false, std::nullopt, std::nullopt},
  };
  for (const CmdRow& row : rows) {
    const CommandLine command = ParseCommandLine(row.line);
    EXPECT_EQ(command.is_at, row.is_at) << row.line;
    EXPECT_EQ(command.echo, row.echo) << row.line;
    EXPECT_EQ(command.dial, row.dial) << row.line;
  }
}

}  // namespace
}  // namespace zentrel::modemsim
