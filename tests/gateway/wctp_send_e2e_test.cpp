// A direct zentrel-send whose lines.conf chooses a wctp line, end to end: the
// carrier is a real gateway (its /wctp, its worker and an emulated modem to
// the emulated terminal, whose log says what arrived and how often). The
// page goes by one POST, ends with the words and exit status of any line,
// and leaves one page log record; a line that cannot be reached is passed
// over for the next, as a TCP line is.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/loopback_port.h"
#include "tests/gateway/emulated_modems.h"
#include "tests/gateway/http_rig.h"

namespace zentrel::gateway::testing {
namespace {

// The sender's recipients: 1001 and 1003 the carrier knows, 1099 it does not.
void MakeSenderRecipients(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const char* sql =
      "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT,"
      " pagephone TEXT); CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
      "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES('1001', 'Ann', 'Lee', '5551'),"
      " ('1003', 'Bo', 'Kim', '5551'), ('1099', 'Cy', 'Doe', '5551');";
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

// The page log's records as "PIN outcome terminal".
std::vector<std::string> LogRecords(const std::string& path) {
  std::vector<std::string> records;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return records;
  }
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT pin, outcome, terminal FROM pages ORDER BY id", -1, &stmt,
                     nullptr);
  while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
    std::string record;
    for (int column = 0; column < 3; ++column)
      record += (column ? " " : "") +
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)));
    records.push_back(record);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return records;
}

class WctpSendEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    carrier_.UseWorker(ZENTREL_SEND);
    terminal_ = std::make_unique<Modems>(carrier_, std::vector<std::string>{"accept"});
    carrier_.StartHttp();
    std::ofstream(Path("code")) << HttpRig::kToken << "\n";
    MakeSenderRecipients(Path("sender.mdb"));
  }
  std::string Path(const std::string& name) const { return carrier_.Path("sender-" + name); }
  std::string Line(int port) const {
    return "wctp http://127.0.0.1:" + std::to_string(port) + "/wctp sender=" + HttpRig::kTokenName +
           " security-file=" + Path("code") + "\n";
  }
  e2e::Finished Send(const std::string& lines, const std::vector<std::string>& args) {
    std::ofstream(Path("lines.conf")) << lines;
    std::vector<std::string> argv{ZENTREL_SEND, "--db", Path("sender.mdb"), "--wait", "5"};
    argv.insert(argv.end(), args.begin(), args.end());
    return e2e::RunProgram(
        argv,
        {"ZENTREL_LINES=" + Path("lines.conf"), "ZENTREL_PAGE_LOG=" + Path("log"),
         "ZENTREL_LOCK_DIR=" + carrier_.Path("")},
        60s);
  }
  // Waits for the carrier's pages to end; their texts as its terminal took them.
  std::map<std::string, int> Arrived(std::size_t pages) {
    SocketClient client(carrier_.socket());
    const json listed = client.Ask({{"op", "list"}});
    std::vector<long> ids;
    for (const json& page : listed["pages"]) ids.push_back(page["id"]);
    EXPECT_EQ(ids.size(), pages) << listed.dump();
    for (const auto& [id, page] : carrier_.WatchAll(ids, 60s))
      EXPECT_EQ(page["state"], "accepted") << page.dump();
    return terminal_->Accepted();
  }

  HttpRig carrier_;
  std::unique_ptr<Modems> terminal_;
};

TEST_F(WctpSendEndToEnd, EachPageEndsAsTheChosenLineSaysAndIsLoggedOnce) {
  const int closed = e2e::ClosedLoopbackPort();
  struct Row {
    const char* name;
    std::string lines;
    std::vector<std::string> args;
    int status;
    const char* out;  // on standard output
    const char* err;  // on standard error ("" when nothing need be said)
    std::vector<std::string> logged;
    std::map<std::string, int> arrived;  // at the terminal, all rows so far
  };
  const std::string good = Line(carrier_.port());
  const std::string down = Line(closed);
  const Row rows[] = {
      {"taken",
       good,
       {"--pin", "1001", "--message", "Pump 3 & <4> down"},
       0,
       "Message Sent!\n",
       "",
       {"1001 accepted "},
       {{"Pump 3 & <4> down", 1}}},
      {"refused by the carrier",
       good,
       {"--pin", "1099", "--message", "nobody"},
       1,
       "",
       "page not sent: the carrier refused the page: 403",
       {"1099 refused 403 "},
       {}},
      {"gateway down, no other line",
       down,
       {"--pin", "1001", "--message", "lost"},
       1,
       "",
       "the WCTP gateway cannot be reached",
       {"1001 not sent "},
       {}},
      {"gateway down, the next line",
       down + good,
       {"--pin", "1003", "--message", "second line"},
       0,
       "Message Sent!\n",
       "skipped: the WCTP gateway cannot be reached",
       {"1003 accepted "},
       {{"second line", 1}}},
      {"several pages",
       good,
       {"--full-tap", "--pin", "1001", "--pin", "1003", "--message", "both of you"},
       0,
       "1001: accepted",
       "",
       {"1001 accepted ", "1003 accepted "},
       {{"both of you", 2}}},
  };
  std::map<std::string, int> arrived;
  std::size_t pages = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::remove(Path("log").c_str());
    const e2e::Finished sent = Send(row.lines, row.args);
    EXPECT_EQ(sent.status, row.status) << sent.out << sent.err;
    EXPECT_NE(sent.out.find(row.out), std::string::npos) << sent.out;
    EXPECT_NE(sent.err.find(row.err), std::string::npos) << sent.err;
    const std::vector<std::string> logged = LogRecords(Path("log"));
    ASSERT_EQ(logged.size(), row.logged.size()) << ::testing::PrintToString(logged);
    for (std::size_t n = 0; n < logged.size(); ++n)
      EXPECT_EQ(logged[n].rfind(row.logged[n], 0), 0u) << logged[n];
    for (const auto& [text, times] : row.arrived) arrived[text] += times;
    for (const auto& [text, times] : row.arrived) pages += times;
    EXPECT_EQ(Arrived(pages), arrived);
  }
}

}  // namespace
}  // namespace zentrel::gateway::testing
