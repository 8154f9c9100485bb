// The terminal on a line with no modem (a direct cable, a TCP or TLS
// connection): no command mode, no CONNECT or NO CARRIER, the line dropped
// when the terminal is done; and the scenarios that only make sense there
// or that an encoder plays. Each row runs whole and cut into 1- and 3-byte
// chunks.
#include "line_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentrel::modemsim {
namespace {

const std::string kIdle = "<idle>";

std::string Play(Scenario scenario, const std::vector<std::string>& steps, std::size_t chunk) {
  LineSession session(scenario, 1);
  std::string t;
  auto collect = [&t](const Actions& actions) {
    for (const Action& a : actions) {
      if (auto* s = std::get_if<SendBytes>(&a)) t += s->bytes;
      if (auto* b = std::get_if<BlockReceived>(&a)) t += b->valid ? "<ok>" : "<bad>";
      if (auto* e = std::get_if<CallEnded>(&a)) t += e->drop_line ? "<drop>" : "<end>";
    }
  };
  for (const std::string& step : steps) {
    if (step == kIdle) {
      collect(session.IdleTimeout());
      continue;
    }
    const std::size_t size = chunk == 0 ? step.size() : chunk;
    for (std::size_t i = 0; i < step.size(); i += size)
      collect(session.Receive(step.substr(i, size)));
  }
  return t;
}

const std::string kLogon = "\x1bPG1\r";
const std::string kLogonReply = "110 1.8\r\x06\r\x1b[p\r";
const std::string kBlockHi = std::string("\x02\rHI\r\x03") + "0;0\r";
const std::string kAccepted = "211 Page accepted\r\x06\r";
const std::string kLogoff = "\x04\r";

TEST(LineSession, TerminalAloneOnTheLine) {
  struct Row {
    const char* name;
    Scenario scenario;
    std::vector<std::string> steps;
    std::string transcript;
  };
  const Row rows[] = {
      {"accept: goodbye, then the line drops with no modem text",
       Scenario::kAccept,
       {"\r", kLogon, kBlockHi, kLogoff, "\r"},
       "ID=" + kLogonReply + "<ok>" + kAccepted + "115 Goodbye\r\x1b\x04\r<drop>"},
      {"close-after-eot: no answer to the log-off",
       Scenario::kCloseAfterEot,
       {"\r", kLogon, kBlockHi, kLogoff},
       "ID=" + kLogonReply + "<ok>" + kAccepted + "<drop>"},
      {"no-logon: the wake-up gets the go-ahead, the block is taken",
       Scenario::kNoLogon,
       {"\r", kBlockHi, kLogoff},
       "\r\x1b[p\r<ok>" + kAccepted + "115 Goodbye\r\x1b\x04\r<drop>"},
      {"silent: nothing at all", Scenario::kSilent, {"\r", "\r", kLogon, kBlockHi}, ""},
      {"idle after the log-on: forced disconnect",
       Scenario::kAccept,
       {"\r", kLogon, kIdle},
       "ID=" + kLogonReply + "\x1b\x04\r<drop>"},
      {"nothing after the drop",
       Scenario::kAccept,
       {"\r", kLogon, kLogoff, "\r", kLogon},
       "ID=" + kLogonReply + "115 Goodbye\r\x1b\x04\r<drop>"},
  };
  for (const Row& row : rows) {
    for (std::size_t chunk : {0u, 1u, 3u}) {
      EXPECT_EQ(Play(row.scenario, row.steps, chunk), row.transcript)
          << row.name << ", chunks of " << chunk;
    }
  }
}

}  // namespace
}  // namespace zentrel::modemsim
