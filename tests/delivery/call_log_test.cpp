// The call's page log when another program keeps the log locked for a while:
// the warning names the file once, every page whose end is known gets its
// true outcome as soon as the log is free again (in page order), and what
// is still locked at the end of the call is said page by page. A real
// SQLite file; the other program is a second connection holding a write
// transaction.
#include "delivery/call_log.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zentrel {
namespace {

namespace fs = std::filesystem;

class CallLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zentrel-call-log-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// Another program's write transaction on the log.
class Holder {
 public:
  explicit Holder(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~Holder() { sqlite3_close(db_); }
  void Lock() {
    ASSERT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  void Unlock() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

 private:
  sqlite3* db_ = nullptr;
};

TEST_F(CallLogTest, ALockedLogGetsEveryKnownOutcomeOnceFree) {
  // Steps: L/U the other program locks/unlocks, B/F a page begins/finishes
  // (the n-th page's PIN is 100n), E the call ends.
  const struct {
    const char* name;
    const char* steps;
    std::vector<std::string> outcomes;  // the records, in page order
    std::vector<std::string> said;      // what each warning holds
  } rows[] = {
      {"free", "BFBFE", {"accepted", "accepted"}, {}},
      {"locked before the page, free during it", "LBUFE", {"accepted"}, {"database is locked"}},
      {"locked during the page, free by the end", "BLFUE", {"accepted"}, {"database is locked"}},
      {"locked for the first page only",
       "LBFUBFE",
       {"accepted", "accepted"},
       {"database is locked"}},
      {"locked to the end, record begun",
       "BLFE",
       {"interrupted"},
       {"database is locked",
        "shows record 1 as \"interrupted\"; it was the page to 1001 (accepted)"}},
      {"locked to the end, no record",
       "LBFBFE",
       {},
       {"database is locked", "has no record of the page to 1001 (accepted)",
        "has no record of the page to 1002 (accepted)"}},
  };
  for (const auto& row : rows) {
    const std::string path = (dir_ / (std::string(row.name) + ".db")).string();
    { PageLog made(path); }
    Holder other(path);
    std::vector<std::string> said;
    auto log = std::make_unique<CallLog>(
        path, [&](const std::string& text) { said.push_back(text); }, LogWaits{50, 50});
    int page = 0;
    for (const char* step = row.steps; *step; ++step) {
      switch (*step) {
        case 'L': other.Lock(); break;
        case 'U': other.Unlock(); break;
        case 'B': log->Begin({"test", "me", std::to_string(1000 + ++page), "", "555", "hi"}); break;
        case 'F': log->Finish({PageOutcome::kAccepted, "", "211 Page accepted"}); break;
        case 'E': log.reset(); break;
      }
    }
    other.Unlock();
    const std::vector<PageRecord> records = PageLog(path).List({});
    ASSERT_EQ(records.size(), row.outcomes.size()) << row.name;
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(OutcomeName(records[i].outcome), row.outcomes[i]) << row.name << " record " << i;
      EXPECT_EQ(records[i].attempt.pin, std::to_string(1001 + i)) << row.name << " record " << i;
      if (records[i].outcome == PageOutcome::kAccepted) {
        EXPECT_TRUE(records[i].duration_ms) << row.name;
      }
    }
    ASSERT_EQ(said.size(), row.said.size()) << row.name << ": " << ::testing::PrintToString(said);
    for (std::size_t i = 0; i < said.size(); ++i) {
      EXPECT_NE(said[i].find(path), std::string::npos)
          << row.name << ": the file is named in " << said[i];
      EXPECT_NE(said[i].find(row.said[i]), std::string::npos) << row.name << ": " << said[i];
    }
  }
}

}  // namespace
}  // namespace zentrel
