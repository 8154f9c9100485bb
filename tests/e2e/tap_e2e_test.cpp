// Beyond one page per call, end to end through the emulated modem: senders
// that share one line take turns and lose no page, and a sender whose turn
// does not come within its wait says so and gives up.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/process.h"
#include "delivery/line_queue.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TapEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zentrel-tap-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const auto db = RunProgram({ZENTREL_DB_TOOL, "demo", (dir_ / "vp.mdb").string()}, {}, 30s);
    ASSERT_EQ(db.status, 0) << db.err;
    std::ofstream(dir_ / "lines.conf") << "modem " << (dir_ / "modem").string() << " ATZ\n";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<std::string> Env() const {
    return {"ZENTREL_LINES=" + (dir_ / "lines.conf").string(),
            "ZENTREL_LOCK_DIR=" + (dir_ / "locks").string(),
            "ZENTREL_PAGE_LOG=" + (dir_ / "pages.db").string()};
  }

  // The emulator, serving calls one after another until the test ends.
  std::unique_ptr<Process> StartModem(const std::string& scenario) {
    auto p = std::make_unique<Process>(std::vector<std::string>{
        ZENTREL_MODEMSIM, "--link", (dir_ / "modem").string(), "--scenario", scenario,
        "--connect-delay-ms", "20", "--idle-timeout-ms", "500", "--log",
        (dir_ / "sim.log").string()});
    EXPECT_NE(p->WaitForLine("ready ", 30s), "") << "the emulator did not start";
    return p;
  }

  std::vector<std::string> SendArgs(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv{ZENTREL_SEND, "--db", (dir_ / "vp.mdb").string(),
                                  "--wake-interval-ms", "400", "--timeout", "60"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }
  Finished Send(const std::vector<std::string>& extra) {
    return RunProgram(SendArgs(extra), Env(), 120s);
  }

  std::vector<nlohmann::json> Events(const std::string& kind) const {
    std::vector<nlohmann::json> events;
    std::ifstream in(dir_ / "sim.log");
    for (std::string line; std::getline(in, line);) {
      auto e = nlohmann::json::parse(line);
      if (e["event"] == kind) events.push_back(e);
    }
    return events;
  }

  // The page log's records, as zentrel-log exports them.
  nlohmann::json PageLog(const std::vector<std::string>& filters = {}) const {
    std::vector<std::string> argv{ZENTREL_LOG, "--json"};
    argv.insert(argv.end(), filters.begin(), filters.end());
    const auto listed = RunProgram(argv, Env(), 30s);
    EXPECT_EQ(listed.status, 0) << listed.err;
    return nlohmann::json::parse(listed.out);
  }

  fs::path dir_;
};

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(TapEndToEnd, TenSendersOnOneLineEachDeliverTheirPage) {
  auto modem = StartModem("accept");
  std::vector<std::unique_ptr<Process>> senders;
  for (int i = 0; i < 10; ++i) {
    senders.push_back(std::make_unique<Process>(
        SendArgs({"--pin", "1001", "--message", "alarm " + std::to_string(i)}), Env()));
  }
  int waited = 0;
  for (int i = 0; i < 10; ++i) {
    const auto done = senders[i]->Wait(300s);
    EXPECT_EQ(done.status, 0) << "sender " << i << ": " << done.err;
    EXPECT_LE(Count(done.err, "Waiting for the line..."), 1u) << done.err;
    waited += static_cast<int>(Count(done.err, "Waiting for the line..."));
  }
  EXPECT_GE(waited, 1) << "ten at once: someone had to wait";
  std::set<std::string> delivered;
  for (const auto& block : Events("block")) {
    EXPECT_TRUE(block["valid"].get<bool>());
    delivered.insert(block["message"].get<std::string>());
  }
  EXPECT_EQ(delivered.size(), 10u);
  const auto records = PageLog();
  ASSERT_EQ(records.size(), 10u);
  for (const auto& r : records) {
    EXPECT_EQ(r["outcome"], "accepted") << r.dump();
    EXPECT_EQ(r["terminal"], "211 Page accepted") << r.dump();
    EXPECT_EQ(r["program"], "zentrel-send");
    EXPECT_EQ(r["line"], "5551234");
  }
}

TEST_F(TapEndToEnd, KilledSenderLeavesAnInterruptedRecord) {
  // A terminal that never answers the wake-up: the call hangs until killed.
  auto modem = std::make_unique<Process>(std::vector<std::string>{
      ZENTREL_MODEMSIM, "--link", (dir_ / "modem").string(), "--scenario", "slow",
      "--slow-wakeups", "100000", "--connect-delay-ms", "20"});
  ASSERT_NE(modem->WaitForLine("ready ", 30s), "");
  Process sender(SendArgs({"--pin", "1001", "--message", "never finished"}), Env());
  ASSERT_NE(sender.WaitForLine("Preparing to send message...", 60s), "");
  sender.Terminate();
  sender.Wait(30s);

  const auto records = PageLog();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["outcome"], "interrupted");
  EXPECT_EQ(records[0]["message"], "never finished");
  EXPECT_EQ(PageLog({"--failed", "--pin", "1001"}).size(), 1u);
  EXPECT_EQ(PageLog({"--pin", "1002"}).size(), 0u);
}

TEST_F(TapEndToEnd, RefusalAndTheTerminalsWordsAreLogged) {
  auto modem = StartModem("invalid-pin");
  const auto sent = Send({"--pin", "1001", "--message", "hello"});
  EXPECT_EQ(sent.status, 1);
  const auto records = PageLog();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["outcome"], "refused");
  EXPECT_EQ(records[0]["terminal"], "Invalid Pin");
  EXPECT_EQ(records[0]["reason"], "Error, check PIN and try again!");
}

TEST_F(TapEndToEnd, ATurnThatNeverComesEndsTheWait) {
  // A sender ahead in the queue that keeps the line past the other's wait.
  LineTicket ahead((dir_ / "locks").string(), fs::weakly_canonical(dir_ / "lines.conf").string());
  const auto sent = Send({"--pin", "1001", "--message", "second", "--wait", "1"});
  EXPECT_EQ(sent.status, 1);
  EXPECT_EQ(Count(sent.err, "Waiting for the line..."), 1u) << sent.err;
  EXPECT_NE(sent.err.find("the line stayed in use for 1 seconds"), std::string::npos) << sent.err;
}

TEST_F(TapEndToEnd, APortHeldByAnotherProgramIsWaitedForThenNamed) {
  auto modem = StartModem("accept");
  // The port's UUCP lock, held by this test's own (live) process.
  const fs::path device = fs::canonical(dir_ / "modem");
  std::string name = device.string().substr(5);  // without "/dev/"
  std::replace(name.begin(), name.end(), '/', '_');
  const fs::path lock = fs::path(fs::exists("/run/lock") ? "/run/lock" : "/var/lock") / ("LCK.." + name);
  {
    std::ofstream out(lock);
    if (!out) GTEST_SKIP() << "the system's lock folder is not writable";
    char pid[16];
    std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(getpid()));
    out << pid;
  }
  const auto sent = Send({"--pin", "1001", "--message", "held", "--wait", "1"});
  fs::remove(lock);
  EXPECT_EQ(sent.status, 1);
  EXPECT_EQ(Count(sent.err, "Waiting for the line..."), 1u) << sent.err;
  EXPECT_NE(sent.err.find("the line stayed in use for 1 seconds"), std::string::npos) << sent.err;
  EXPECT_NE(sent.err.find("is in use by process " + std::to_string(getpid())), std::string::npos)
      << sent.err;
  EXPECT_EQ(Count(sent.err, "is in use by"), 1u) << "said once, not at every try: " << sent.err;
}

struct FullTapCase {
  const char* scenario;
  std::vector<std::string> args;
  int exit_status;
  std::vector<std::string> outcomes;  // stdout, one line per page
  std::vector<std::string> blocks;    // the emulator's block events: end and message
};

// "wordA wordA+1 ... wordB-1"
std::string Words(int a, int b) {
  std::string t;
  for (int i = a; i < b; ++i) t += (i > a ? " word" : "word") + std::to_string(i);
  return t;
}

TEST_F(TapEndToEnd, FullTapSessions) {
  const std::string long_text = Words(0, 60) + " end";  // 410 characters
  const FullTapCase cases[] = {
      {"accept",
       {"--pin", "1001", "--pin", "1002", "--message", "Pump 3 down\ncall ops", "--page",
        "210=Ward 4\tbed 2"},
       0,
       {"1001: accepted (211 Page accepted)", "1002: accepted (211 Page accepted)",
        "210: accepted (211 Page accepted)"},
       {"ETX Pump 3 down\r\ncall ops", "ETX Pump 3 down\r\ncall ops", "ETX Ward 4\tbed 2"}},
      {"accept",
       {"--pin", "1001", "--message", long_text, "--max-chars", "600"},
       0,
       {"1001: accepted (211 Page accepted)"},
       {"US ", "ETX " + long_text}},
      {"accept",
       {"--pin", "1001", "--message", long_text, "--split"},
       0,
       {"1001: accepted (211 Page accepted)", "1001: accepted (211 Page accepted)",
        "1001: accepted (211 Page accepted)"},
       {"ETX 1/3 " + Words(0, 29), "ETX 2/3 " + Words(29, 57), "ETX 3/3 " + Words(57, 60) + " end"}},
      {"accept",  // the euro sign goes as EUR (the line is ASCII), then the cut at 10
       {"--pin", "1001", "--message", "abcdefgh\xe2\x82\xac", "--max-chars", "10"},
       0,
       {"1001: accepted (211 Page accepted)"},
       {"ETX abcdefghEU"}},
      {"accept",  // no room for the text beside "1/n ": refused, nothing dialled
       {"--pin", "1001", "--message", std::string(600, 'y'), "--split", "--max-chars", "8"},
       2,
       {},
       {}},
      {"nak-once",
       {"--pin", "1001", "--message", "hello"},
       0,
       {"1001: accepted (211 Page accepted)"},
       {"ETX hello", "ETX hello"}},
      {"rs-second",
       {"--pin", "1001", "--pin", "1002", "--pin", "210", "--message", "hello"},
       1,
       {"1001: accepted (211 Page accepted)", "1002: refused (Invalid Pin)",
        "210: accepted (211 Page accepted)"},
       {"ETX hello", "ETX hello", "ETX hello"}},
  };
  for (const FullTapCase& c : cases) {
    SCOPED_TRACE(c.scenario + (" " + c.args.back()));
    fs::remove(dir_ / "sim.log");
    auto modem = StartModem(c.scenario);
    std::vector<std::string> args{"--full-tap", "--phone", "5551234"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto sent = Send(args);
    EXPECT_EQ(sent.status, c.exit_status) << sent.err;
    std::vector<std::string> lines;
    std::istringstream out(sent.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    EXPECT_EQ(lines, c.outcomes);
    modem.reset();  // its log is complete
    std::vector<std::string> blocks;
    for (const auto& b : Events("block")) {
      EXPECT_TRUE(b["valid"].get<bool>());
      blocks.push_back(b["end"].get<std::string>() + " " + b["message"].get<std::string>());
    }
    EXPECT_EQ(blocks, c.blocks);
  }
}

TEST_F(TapEndToEnd, FullTapJsonAndLog) {
  auto modem = StartModem("rs-second");
  std::ofstream(dir_ / "pages.txt") << "1001\tfirst\n\n1002\tsecond\n";
  const auto sent = Send({"--full-tap", "--pages", (dir_ / "pages.txt").string(), "--json"});
  EXPECT_EQ(sent.status, 1) << sent.err;
  const auto outcomes = nlohmann::json::parse(sent.out);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0]["outcome"], "accepted");
  EXPECT_EQ(outcomes[1]["outcome"], "refused");
  EXPECT_EQ(outcomes[1]["terminal"], "Invalid Pin");
  const auto failed = PageLog({"--failed"});
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0]["pin"], "1002");
  EXPECT_EQ(failed[0]["message"], "second");

  std::ofstream(dir_ / "bad.txt") << "1001 no tab\n";
  const auto bad = Send({"--full-tap", "--pages", (dir_ / "bad.txt").string()});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 1: expected PIN<TAB>TEXT"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace zentrel::e2e
