// Beyond one page per call, end to end through the emulated modem: senders
// that share one line take turns and lose no page, and a sender whose turn
// does not come within its wait says so and gives up. A thousand pages go in
// one call with few descriptors, each delivered and logged; a recipients'
// database another program keeps locked ends the send as not sent, logged;
// a page log another program keeps locked holds no page back.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "delivery/line_queue.h"
#include "seriallink/tty_port_lock.h"
#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TapEndToEnd : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(MakeDemoDb());
    Write("lines.conf", "modem " + Path("modem") + " ATZ\n");
  }

  std::vector<std::string> Env() const {
    return {"ZENTREL_LINES=" + Path("lines.conf"), "ZENTREL_PAGE_LOG=" + Path("pages.db")};
  }

  // The emulator, serving calls one after another until the test ends.
  std::unique_ptr<Process> StartModem(const std::string& scenario) {
    return StartEmulator({"--link", Path("modem"), "--scenario", scenario, "--connect-delay-ms",
                          "20", "--idle-timeout-ms", "500"});
  }

  std::vector<std::string> SendArgs(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv{ZENTREL_SEND, "--db", Path("vp.mdb"), "--wake-interval-ms", "400",
                                  "--timeout",  "60"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }
  Finished Send(const std::vector<std::string>& extra) {
    return RunProgram(SendArgs(extra), Env(), 120s);
  }

  // The page log's records, as zentrel-log exports them.
  nlohmann::json PageLog(const std::vector<std::string>& filters = {}) const {
    std::vector<std::string> argv{ZENTREL_LOG, "--json"};
    argv.insert(argv.end(), filters.begin(), filters.end());
    const auto listed = RunProgram(argv, Env(), 30s);
    EXPECT_EQ(listed.status, 0) << listed.err;
    return nlohmann::json::parse(listed.out);
  }
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
  auto modem = StartEmulator({"--link", Path("modem"), "--scenario", "slow", "--slow-wakeups",
                              "100000", "--connect-delay-ms", "20"});
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
  const fs::path lock = LockPathFor(Path("modem"), Locks());
  {
    std::ofstream out(lock);
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
        "210=Ward 4\tbed 2 \xc3\xbc"},
       0,
       {"1001: accepted (211 Page accepted)", "1002: accepted (211 Page accepted)",
        "210: accepted (211 Page accepted)"},
       {"ETX Pump 3 down\r\ncall ops", "ETX Pump 3 down\r\ncall ops", "ETX Ward 4\tbed 2 u"}},
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
       {"ETX 1/3 " + Words(0, 29), "ETX 2/3 " + Words(29, 57),
        "ETX 3/3 " + Words(57, 60) + " end"}},
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
  std::ofstream(dir_ / "pages.txt") << "1001\tfirst\n\n1002\tsec\xc3\xb6nd\n";
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
  EXPECT_EQ(failed[0]["typed"], "sec\xc3\xb6nd");
  EXPECT_NE(sent.err.find("zentrel-send: the page to 1002: The line carries plain letters only: "
                          "\xc3\xb6 goes as o."),
            std::string::npos)
      << sent.err;

  std::ofstream(dir_ / "bad.txt") << "1001 no tab\n";
  const auto bad = Send({"--full-tap", "--pages", (dir_ / "bad.txt").string()});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 1: expected PIN<TAB>TEXT"), std::string::npos) << bad.err;
}

// The emulated terminal over TCP, the fastest line; its port.
std::string StartTcpTerminal(std::unique_ptr<Process>& terminal, const fs::path& log) {
  terminal = std::make_unique<Process>(std::vector<std::string>{ZENTREL_MODEMSIM, "--listen",
                                                                "127.0.0.1:0", "--idle-timeout-ms",
                                                                "2000", "--log", log.string()});
  const std::string ready = terminal->WaitForLine("ready ", 30s);
  EXPECT_NE(ready, "") << "the emulator did not start";
  return ready.substr(ready.rfind(':') + 1);
}

// A call holds a constant number of descriptors whatever its number of
// pages: under a limit of 256 every one of a thousand pages is delivered and
// in the page log. (The sanitizers' own descriptors and pace do not fit.)
TEST_F(TapEndToEnd, AThousandPagesInOneCallWithFewDescriptors) {
  if (ZENTREL_SANITIZED) GTEST_SKIP() << "not under the sanitizers";
  std::unique_ptr<Process> terminal;
  const std::string port = StartTcpTerminal(terminal, dir_ / "sim.log");
  std::ofstream(dir_ / "lines.conf") << "tcp 127.0.0.1:" << port << "\n";
  constexpr int kPages = 1000;
  {
    std::ofstream pages(dir_ / "pages.txt");
    for (int i = 0; i < kPages; ++i) pages << "1001\tpage " << i << "\n";
  }
  std::vector<std::string> argv{"/bin/sh", "-c", "ulimit -n 256 && exec \"$0\" \"$@\""};
  const auto send = SendArgs({"--full-tap", "--pages", (dir_ / "pages.txt").string()});
  argv.insert(argv.end(), send.begin(), send.end());
  const auto sent = RunProgram(argv, Env(), 60s);
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(Count(sent.out, ": accepted (211 Page accepted)\n"), std::size_t{kPages}) << sent.err;
  terminal.reset();  // its log is complete
  std::set<std::string> delivered;
  for (const auto& b : Events("block"))
    if (b["valid"].get<bool>()) delivered.insert(b["message"].get<std::string>());
  EXPECT_EQ(delivered.size(), static_cast<std::size_t>(kPages));
  const auto logged = PageLog({"--pin", "1001"});
  ASSERT_EQ(logged.size(), static_cast<std::size_t>(kPages));
  for (const auto& record : logged) EXPECT_EQ(record["outcome"], "accepted") << record.dump();
}

// Another program holds the recipients' database locked past the wait: the
// pages are not sent (exit 1, the file named), nothing is dialled, and the
// page log says so for each. (One page alone takes the same path.)
TEST_F(TapEndToEnd, ALockedDatabaseEndsTheSendNotSentAndLogged) {
  std::unique_ptr<Process> terminal;
  const std::string port = StartTcpTerminal(terminal, dir_ / "sim.log");
  std::ofstream(dir_ / "lines.conf") << "tcp 127.0.0.1:" << port << "\n";
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "vp.mdb").c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::size_t records;
  } rows[] = {
      {"one call", {"--full-tap", "--pin", "1001", "--pin", "1002", "--message", "hi"}, 2},
  };
  std::size_t records = 0;
  for (const auto& row : rows) {
    const auto sent = Send(row.args);
    EXPECT_EQ(sent.status, 1) << row.name << ": " << sent.err;
    EXPECT_NE(sent.err.find((dir_ / "vp.mdb").string() + " is in use by another program"),
              std::string::npos)
        << row.name << ": " << sent.err;
    records += row.records;
    const auto logged = PageLog({"--failed"});
    ASSERT_EQ(logged.size(), records) << row.name;
    EXPECT_EQ(logged.back()["outcome"], "not sent") << logged.back().dump();
    EXPECT_NE(logged.back()["reason"].get<std::string>().find("database is locked"),
              std::string::npos)
        << logged.back().dump();
  }
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  terminal.reset();
  EXPECT_TRUE(Events("connection").empty()) << "nothing reached the terminal";
}

// Another program keeps the page log locked through a call: the pages go
// out as if it were free (the terminal is not kept waiting on the log), the
// warning names the file, and the records written once it is free again
// hold each page's true outcome.
TEST_F(TapEndToEnd, ALockedPageLogHoldsNoPageBack) {
  std::unique_ptr<Process> terminal;
  const std::string port = StartTcpTerminal(terminal, dir_ / "sim.log");
  std::ofstream(dir_ / "lines.conf") << "tcp 127.0.0.1:" << port << "\n";
  ASSERT_EQ(Send({"--pin", "1001", "--message", "before"}).status, 0);  // the log exists
  const std::string log = (dir_ / "pages.db").string();
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(log.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  Process sender(SendArgs({"--full-tap", "--pin", "1001", "--pin", "1002", "--message", "locked"}),
                 Env());
  EXPECT_NE(sender.WaitForLine("1002: ", 60s), "") << "the call did not end";
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  const auto sent = sender.Wait(60s);
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(Count(sent.out, ": accepted (211 Page accepted)\n"), 2u) << sent.out << sent.err;
  EXPECT_TRUE(sent.err.find("page log not written: " + log + ": database is locked") !=
              std::string::npos)
      << sent.err;
  const auto logged = PageLog();
  ASSERT_EQ(logged.size(), 3u);
  for (const auto& record : logged) EXPECT_EQ(record["outcome"], "accepted") << record.dump();
}

// The gateway's worker: one batch through the real program, the daemon's
// part played here: every "sending" and "page" is answered "ok", and no
// block reaches the terminal before its "ok".
class WorkerEndToEnd : public TapEndToEnd {
 protected:
  std::unique_ptr<Process> StartWorker(const nlohmann::json& batch) {
    std::signal(SIGPIPE, SIG_IGN);  // a worker that ended early must fail the test, not kill it
    auto worker =
        std::make_unique<Process>(std::vector<std::string>{ZENTREL_SEND, "--worker"}, Env(), true);
    worker->WriteInput(batch.dump() + "\n");
    return worker;
  }
  nlohmann::json Batch(int line, const nlohmann::json& pages) const {
    return {{"line", line},
            {"lines_file", (dir_ / "lines.conf").string()},
            {"phone", "5551234"},
            {"timeout_s", 60},
            {"pages", pages}};
  }
  static nlohmann::json Next(Process& worker) {
    const std::string line = worker.NextLine(60s);
    return line.empty() ? nlohmann::json{{"event", "nothing"}} : nlohmann::json::parse(line);
  }
  bool LoggedOff() const {
    for (const auto& rx : Events("rx"))
      if (rx["text"] == "<EOT><CR>") return true;
    return false;
  }
};

TEST_F(WorkerEndToEnd, ABatchGoesOutPageByPageAsTheDaemonSaysOk) {
  auto modem = StartModem("rs-second");
  auto worker = StartWorker(Batch(0, {{{"id", 17}, {"pin", "1001"}, {"text", "first\nline"}},
                                      {{"id", 18}, {"pin", "1002"}, {"text", "second"}},
                                      {{"id", 19}, {"pin", "1003"}, {"text", "third"}}}));
  EXPECT_EQ(Next(*worker)["event"], "connected");
  const struct {
    int id;
    const char* outcome;
    const char* reason;
  } rows[] = {{17, "accepted", ""}, {18, "refused", "terminal refused"}, {19, "accepted", ""}};
  std::size_t blocks = 0;
  for (const auto& row : rows) {
    const auto sending = Next(*worker);
    EXPECT_EQ(sending["event"], "sending") << row.id << ": " << sending.dump();
    EXPECT_EQ(sending["id"], row.id);
    EXPECT_EQ(Events("block").size(), blocks) << row.id << ": a block went before the daemon's ok";
    worker->WriteInput("ok\n");
    const auto page = Next(*worker);
    EXPECT_EQ(page["event"], "page") << row.id << ": " << page.dump();
    EXPECT_EQ(page["id"], row.id);
    EXPECT_EQ(page["outcome"], row.outcome) << row.id;
    EXPECT_EQ(page["reason"], row.reason) << row.id;
    worker->WriteInput("ok\n");
    blocks = Events("block").size();
  }
  const auto end = Next(*worker);
  EXPECT_EQ(end["event"], "end") << end.dump();
  EXPECT_EQ(end["outcome"], "completed");
  EXPECT_EQ(worker->Wait(60s).status, 0);
  const auto sent = Events("block");
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0]["message"], "first\r\nline");
  EXPECT_EQ(sent[2]["message"], "third");
  EXPECT_TRUE(LoggedOff());
  EXPECT_FALSE(fs::exists(dir_ / "pages.db")) << "the worker keeps no page log";
}

TEST_F(WorkerEndToEnd, TheEndOfTheDaemonsInputSendsNoFurtherBlock) {
  auto modem = StartModem("accept");
  auto worker = StartWorker(Batch(0, {{{"id", 1}, {"pin", "1001"}, {"text", "a"}},
                                      {{"id", 2}, {"pin", "1002"}, {"text", "b"}}}));
  EXPECT_EQ(Next(*worker)["event"], "connected");
  EXPECT_EQ(Next(*worker)["event"], "sending");
  worker->CloseInput();
  const auto end = Next(*worker);
  EXPECT_EQ(end["event"], "end") << end.dump();
  EXPECT_EQ(end["outcome"], "not sent");
  EXPECT_EQ(end["reason"], "interrupted");
  EXPECT_EQ(worker->Wait(60s).status, 0);
  EXPECT_TRUE(Events("block").empty());
  EXPECT_TRUE(LoggedOff());
}

TEST_F(WorkerEndToEnd, OnlyTheLineNamedIsUsed) {
  auto modem = StartModem("accept");
  std::ofstream(dir_ / "lines.conf") << "modem " << (dir_ / "missing").string() << " ATZ\n"
                                     << "modem " << (dir_ / "modem").string() << " ATZ\n";
  const struct {
    const char* name;
    nlohmann::json batch;
    const char* reason;
  } rows[] = {
      {"line 0 is missing, line 1 is not tried",
       Batch(0, {{{"id", 1}, {"pin", "1001"}, {"text", "a"}}}), "line unusable"},
      {"no line 2", Batch(2, {{{"id", 1}, {"pin", "1001"}, {"text", "a"}}}), "line unusable"},
      {"a number too long to dial",
       [&] {
         auto b = Batch(1, {{{"id", 1}, {"pin", "1001"}, {"text", "a"}}});
         b["phone"] = std::string(32, '5');
         return b;
       }(),
       "refused number"},
  };
  for (const auto& row : rows) {
    auto worker = StartWorker(row.batch);
    worker->CloseInput();
    const auto done = worker->Wait(60s);
    EXPECT_EQ(done.status, 0) << row.name << ": " << done.err;
    const auto end = nlohmann::json::parse(done.out.substr(done.out.rfind('{')));
    EXPECT_EQ(end["outcome"], "not sent") << row.name;
    EXPECT_EQ(end["reason"], row.reason) << row.name << ": " << done.out;
  }
  EXPECT_TRUE(Events("call").empty()) << "a line other than the one named was used";
  auto malformed = StartWorker({{"line", 0}});
  malformed->CloseInput();
  EXPECT_EQ(malformed->Wait(30s).status, 2);
}

}  // namespace
}  // namespace zentrel::e2e
