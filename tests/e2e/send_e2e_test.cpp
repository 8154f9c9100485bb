// A page end to end: zentrel-send dials the emulated modem on a real
// pseudo-terminal and talks to the emulated paging terminal behind it, once
// per terminal behaviour. Checks the exit status, the status lines in order
// and what the terminal received (log-on, block with its checksum, log-off).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SendEndToEnd : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(MakeDemoDb());
    Write("lines.conf", "# the emulated modem\nmodem " + Path("modem") + " ATZ\n");
  }

  std::vector<std::string> Env() const { return {"ZENTREL_LINES=" + Path("lines.conf")}; }

  // Starts the emulator for one call and waits until it is ready.
  std::unique_ptr<Process> StartModem(const std::string& scenario) {
    return StartEmulator({"--link", Path("modem"), "--scenario", scenario, "--once",
                          "--connect-delay-ms", "50", "--idle-timeout-ms", "500"});
  }

  Finished Send(const std::vector<std::string>& extra) {
    std::vector<std::string> argv{ZENTREL_SEND, "--db", Path("vp.mdb"), "--wake-interval-ms", "400",
                                  "--timeout",  "15"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return RunProgram(argv, Env(), 20s);  // the call itself ends after 15 s
  }
};

const std::vector<std::string> kToBlock{"Preparing to send message...", "Sending Message.",
                                        "Sending Message..."};

std::vector<std::string> Then(std::vector<std::string> lines, std::vector<std::string> more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

struct Scenario {
  const char* name;
  int exit_status;
  std::vector<std::string> statuses;
  const char* reason;  // in standard error when not sent
};

TEST_F(SendEndToEnd, EachTerminalBehaviour) {
  const Scenario scenarios[] = {
      {"accept", 0, Then(kToBlock, {"Message Sent!"}), ""},
      {"slow", 0, Then(kToBlock, {"Message Sent!"}), ""},
      {"invalid-pin", 1, Then(kToBlock, {"Invalid PIN Number", "Error, check PIN and try again!"}),
       "Error, check PIN and try again!"},
      {"nak", 1, Then(kToBlock, {"Error, check PIN and try again!"}), "Error, check PIN"},
      {"rs", 1, Then(kToBlock, {"Error, check PIN and try again!"}), "Error, check PIN"},
      {"error-text", 1, Then(kToBlock, {"Error, page not sent, check PIN number."}),
       "page not sent"},
      // The hang-up races the end of the burst that carries the go-ahead:
      // the call may end before the block goes out. Either way, not sent.
      {"hangup-after-logon", 1, kToBlock,
       "page not sent: the call ended before the terminal answered"},
      {"busy", 1, {}, "the line is busy"},
      {"no-answer", 1, {}, "No Answer"},
      {"no-dialtone", 1, {}, "No Dial Tone"},
  };
  for (const auto& s : scenarios) {
    SCOPED_TRACE(s.name);
    auto modem = StartModem(s.name);
    const auto sent = Send({"--pin", "1001", "--message", "Pump 3 down\nCall ops"});
    EXPECT_EQ(sent.status, s.exit_status) << sent.err;
    const auto lines = Lines(sent.out);
    if (std::string(s.name) == "hangup-after-logon") {
      ASSERT_GE(lines.size(), 2u);
      ASSERT_LE(lines.size(), s.statuses.size()) << sent.out;
      EXPECT_TRUE(std::equal(lines.begin(), lines.end(), s.statuses.begin())) << sent.out;
    } else {
      EXPECT_EQ(lines, s.statuses);
    }
    if (s.exit_status != 0) {
      EXPECT_NE(sent.err.find(s.reason), std::string::npos) << sent.err;
    }
    modem->Wait(10s);
  }
}

TEST_F(SendEndToEnd, TerminalReceivesLogOnBlockAndLogOff) {
  auto modem = StartModem("accept");
  const auto sent = Send({"--pin", "1001", "--message", "Pump 3 down\nCall ops"});
  ASSERT_EQ(sent.status, 0) << sent.err;
  modem->Wait(10s);

  std::vector<std::string> received;
  int blocks = 0;
  for (const auto& e : Events("")) {
    if (e["event"] == "rx") received.push_back(e["text"]);
    if (e["event"] == "block") {
      ++blocks;
      EXPECT_TRUE(e["valid"].get<bool>());
      EXPECT_EQ(e["pin"], "1001");
      EXPECT_EQ(e["message"], "Pump 3 down Call ops")
          << "a line break goes as a space, never a CR in the field";
    }
  }
  EXPECT_EQ(blocks, 1);
  std::string all;
  for (const auto& r : received) all += r;
  const auto logon = all.find("<ESC>PG1<CR>");
  const auto block = all.find("<STX>1001<CR>Pump 3 down Call ops<CR><ETX>");
  const auto logoff = all.find("<EOT><CR>");
  ASSERT_NE(logon, std::string::npos) << all;
  ASSERT_NE(block, std::string::npos) << all;
  ASSERT_NE(logoff, std::string::npos) << all;
  EXPECT_LT(logon, block);
  EXPECT_LT(block, logoff);
}

TEST_F(SendEndToEnd, PhoneOverrideIsDialledAsTyped) {
  auto modem = StartModem("accept");
  const auto sent = Send({"--pin", "210", "--message", "hi", "--phone", "9,555-0100"});
  ASSERT_EQ(sent.status, 0) << sent.err;
  modem->Wait(10s);
  bool dialled = false;
  for (const auto& e : Events(""))
    if (e["event"] == "call") dialled = e["number"] == "9,555-0100";
  EXPECT_TRUE(dialled);
}

TEST_F(SendEndToEnd, UsageAndSetUpFailures) {
  const auto unknown = Send({"--pin", "0000", "--message", "hi"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("Did not find Pin number in database, try again!"), std::string::npos);

  const auto no_message = Send({"--pin", "1001"});
  EXPECT_EQ(no_message.status, 2);

  const auto no_db = RunProgram(
      {ZENTREL_SEND, "--db", (dir_ / "missing.mdb").string(), "--pin", "1001", "--message", "hi"},
      Env(), 10s);
  EXPECT_EQ(no_db.status, 2);
  EXPECT_FALSE(fs::exists(dir_ / "missing.mdb"));

  std::ofstream(dir_ / "empty.conf") << "# no modems\n";
  const auto no_devices = RunProgram(
      {ZENTREL_SEND, "--db", (dir_ / "vp.mdb").string(), "--pin", "1001", "--message", "hi"},
      {"ZENTREL_LINES=" + (dir_ / "empty.conf").string()}, 10s);
  EXPECT_EQ(no_devices.status, 1);
  EXPECT_NE(no_devices.err.find("There are no telephony devices installed."), std::string::npos);
}

}  // namespace
}  // namespace zentrel::e2e
