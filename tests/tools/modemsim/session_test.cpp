// The modem and terminal logic as a caller meets it: command lines, dialling,
// each scenario's answers, split input. Every row runs whole and again cut
// into chunks of 1, 2, 3 and 7 bytes, which must not change a single reply.
#include "session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tap/checksum.h"

namespace zentrel::modemsim {
namespace {

// Input steps; these words stand for the server's timers.
const std::string kDialDone = "<dial-done>";
const std::string kIdle = "<idle>";
const std::string kGuard = "<guard>";

// What the session did, in order: the bytes it sent, "<ok>" or "<bad>" for
// each block it received, "<drop>" or "<end>" for a call ended with or
// without dropping the line; and the mode it is left in.
struct Outcome {
  std::string transcript;
  Session::Mode mode = Session::Mode::kCommand;
};

void Collect(const Actions& actions, Outcome& out) {
  for (const Action& action : actions) {
    std::string& t = out.transcript;
    if (auto* s = std::get_if<SendBytes>(&action)) t += s->bytes;
    if (auto* b = std::get_if<BlockReceived>(&action)) t += b->valid ? "<ok>" : "<bad>";
    if (auto* e = std::get_if<CallEnded>(&action)) t += e->drop_line ? "<drop>" : "<end>";
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

// A framed block with its checksum: STX, `data`, `end`, checksum, CR.
std::string Framed(const std::string& data, char end) {
  const std::string framed = "\x02" + data + end;
  return framed + tap::BlockChecksum(framed) + "\r";
}

struct Row {
  const char* name;
  Scenario scenario;
  std::vector<std::string> steps;
  std::string transcript;
  Session::Mode mode;
};

std::vector<Row> Rows() {
  using M = Session::Mode;
  const auto S = Scenario::kAccept;
  const std::string kOnlineTo = kConnectPrefix + "ID=" + kLogonReply;  // after the log-on
  return {
      {"echo off after ATE0", S, {"ATE0\r", "AT\r"}, "ATE0\r\r\nOK\r\n\r\nOK\r\n", M::kCommand},
      {"a dead modem says nothing",
       Scenario::kDeadModem,
       {"ATZ\r", "ATDT5551234\r"},
       "",
       M::kCommand},
      {"ATZ turns echo back on",
       S,
       {"ATE0\r", "ATZ\r", "AT\r"},
       "ATE0\r\r\nOK\r\n\r\nOK\r\nAT\r\r\nOK\r\n",
       M::kCommand},
      // Echo follows the last E in the line, E alone is E0, AT&F turns it on.
      {"echo flags",
       S,
       {"ATS0=0E0\r", "ATE1\r", "ATE\r", "at&f\r", "AT\r"},
       "ATS0=0E0\r\r\nOK\r\n\r\nOK\r\nATE\r\r\nOK\r\n\r\nOK\r\nAT\r\r\nOK\r\n",
       M::kCommand},
      {"not a command: echo only", S, {"hello\r", "A\r", "XAT\r"}, "hello\rA\rXAT\r", M::kCommand},
      {"ATH and LF ignored",
       S,
       {"ATE0\r\n", "ATH0\r\n"},
       "ATE0\r\r\nOK\r\n\r\nOK\r\n",
       M::kCommand},
      {"dialling", S, {"ATE0\r", "ATDT5551234\r"}, "ATE0\r\r\nOK\r\n", M::kDialing},
      {"a byte aborts the dial",
       S,
       {"ATE0\r", "ATDT5551234\r", "\r", kDialDone, "AT\r"},
       "ATE0\r\r\nOK\r\n\r\nNO CARRIER\r\n<end>\r\nOK\r\n",
       M::kCommand},
      {"escape and ATH", S, Connected({"\r", kGuard, "+++", kGuard, "ATH\r"}),
       kConnectPrefix + "ID=\r\nOK\r\n\r\nOK\r\n<end>", M::kCommand},
      {"+++ without a silence before is data", S, Connected({"\r", "+++", kGuard, "AT\r"}),
       kConnectPrefix + "ID=ID=", M::kOnline},
      {"ATO returns to the call", S, Connected({kGuard, "+++", kGuard, "ATO\r", "\r"}),
       kConnectPrefix + "\r\nOK\r\n\r\nCONNECT 300\r\nID=", M::kOnline},
      {"accepted page", S, Connected({"\r", kLogon, kBlockHi, kLogoff}),
       kOnlineTo + "<ok>211 Page accepted\r\x06\r" + kGoodbyeAndDrop + "<drop>", M::kEnded},
      {"empty PIN and message", S, Connected({"\r", kLogon, kBlockEmpty}),
       kOnlineTo + "<ok>211 Page accepted\r\x06\r", M::kOnline},
      {"log-on with password", S, Connected({"\r", "\x1bPG1abc123\r"}), kOnlineTo, M::kOnline},
      {"password too long", S, Connected({"\r", "\x1bPG1abcdefg\r"}), kConnectPrefix + "ID=\x15\r",
       M::kOnline},
      {"wake-up repeated before log-on", S, Connected({"\r", "\r", kLogon, "\r"}),
       kConnectPrefix + "ID=ID=" + kLogonReply, M::kOnline},
      {"block before log-on dropped", S, Connected({"\r", kBlockHi}),
       kConnectPrefix + "ID=", M::kOnline},
      {"bad checksum", S, Connected({"\r", kLogon, kBadBlock}),
       kOnlineTo + "<bad>514 Checksum error\r\x15\r", M::kOnline},
      {"junk between frames", S, Connected({"\r", "xx" + kLogon + "\x7f", kBlockHi}),
       kOnlineTo + "<ok>211 Page accepted\r\x06\r", M::kOnline},
      {"idle terminal disconnects after log-on", S, Connected({"\r", kIdle, kLogon, kIdle, "\r"}),
       kOnlineTo + "\x1b\x04\r" + kNoCarrier + "<drop>", M::kEnded},
      {"invalid-pin", Scenario::kInvalidPin, Connected({"\r", kLogon, kBlockHi}),
       kOnlineTo + "<ok>Invalid Pin\r\x1e\r", M::kOnline},
      {"nak", Scenario::kNak, Connected({"\r", kLogon, kBlockHi}), kOnlineTo + "<ok>\r\x15\r",
       M::kOnline},
      {"rs", Scenario::kRs, Connected({"\r", kLogon, kBlockHi}), kOnlineTo + "<ok>\r\x1e\r",
       M::kOnline},
      {"error-text", Scenario::kErrorText, Connected({"\r", kLogon, kBlockHi}),
       kOnlineTo + "<ok>501 error in block\r", M::kOnline},
      {"hangup-after-logon", Scenario::kHangupAfterLogon, Connected({"\r", kLogon, kBlockHi}),
       kOnlineTo + kNoCarrier + "<drop>", M::kEnded},
      {"hangup-at-connect: input after the drop goes nowhere", Scenario::kHangupAtConnect,
       Connected({"\r"}), kConnectPrefix + kNoCarrier + "<drop>", M::kEnded},
      {"slow: two wake-ups unanswered", Scenario::kSlow, Connected({"\r", "\r", "\r"}),
       kConnectPrefix + "ID=", M::kOnline},
      {"a page in three blocks: US, ETB, ETX", S,
       Connected({"\r", kLogon, Framed("1\rHI", '\x1f'), Framed(" THERE\r", '\x17'),
                  Framed("X\r", '\x03')}),
       kOnlineTo + "<ok>\x06\r<ok>\x06\r<ok>211 Page accepted\r\x06\r", M::kOnline},
      {"nak-once: the resend is taken", Scenario::kNakOnce,
       Connected({"\r", kLogon, kBlockHi, kBlockHi, kBlockHi}),
       kOnlineTo + "<ok>\r\x15\r<ok>211 Page accepted\r\x06\r<ok>211 Page accepted\r\x06\r",
       M::kOnline},
      {"rs-second: only the second page is refused", Scenario::kRsSecond,
       Connected({"\r", kLogon, kBlockHi, kBlockHi, kBlockHi}),
       kOnlineTo +
           "<ok>211 Page accepted\r\x06\r<ok>Invalid Pin\r\x1e\r<ok>211 Page accepted\r\x06\r",
       M::kOnline},
      {"busy", Scenario::kBusy, Connected({"AT\r"}), "ATE0\r\r\nOK\r\n\r\nBUSY\r\n<end>\r\nOK\r\n",
       M::kCommand},
      {"no-answer", Scenario::kNoAnswer, Connected({}), "ATE0\r\r\nOK\r\n\r\nNO ANSWER\r\n<end>",
       M::kCommand},
      {"no-dialtone", Scenario::kNoDialtone, Connected({}),
       "ATE0\r\r\nOK\r\n\r\nNO DIALTONE\r\n<end>", M::kCommand},
  };
}

TEST(Session, PageOverBlocksIsReadWholeWithTransparencyUndone) {
  Session session(Scenario::kAccept, 2);
  std::vector<BlockReceived> blocks;
  for (const std::string& step : Connected(
           {"\r", kLogon, Framed("12\x1a", '\x1f'), Framed("A3\rline\x1aM\x1aJtwo\r", '\x03')})) {
    const Actions actions = step == kDialDone ? session.DialDone() : session.Receive(step);
    for (const Action& a : actions)
      if (auto* b = std::get_if<BlockReceived>(&a)) blocks.push_back(*b);
  }
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].end, "US");
  EXPECT_EQ(blocks[1].end, "ETX");
  EXPECT_EQ(blocks[1].pin,
            "12\x01"
            "3");  // SUB A is 01, split over the blocks' edge
  EXPECT_EQ(blocks[1].message, "line\r\ntwo");
}

TEST(Session, RepliesWholeAndSplit) {
  for (const Row& row : Rows()) {
    for (std::size_t chunk : {0u, 1u, 2u, 3u, 7u}) {
      const Outcome out = Play(row.scenario, row.steps, chunk);
      const std::string where = std::string(row.name) + ", chunk " + std::to_string(chunk);
      EXPECT_EQ(out.transcript, row.transcript) << where;
      EXPECT_EQ(out.mode, row.mode) << where;
    }
  }
}

}  // namespace
}  // namespace zentrel::modemsim
