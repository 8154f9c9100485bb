// The page log on a real file: a begun record reads "interrupted" until it is
// finished, the filters pick the right records, two writers at once both get
// theirs, an old log gains the typed column in place, and a log that can't
// be written is said, never thrown.
#include "journal/page_log.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace zentrel {
namespace {

namespace fs = std::filesystem;

class PageLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zentrel-journal-" + std::to_string(getpid()));
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path() const { return (dir_ / "state" / "pages.db").string(); }
  fs::path dir_;
};

PageAttempt To(const std::string& pin, const std::string& message = "Pump 3 down") {
  return {"zentrel-send", "ops", pin, "Ann Lee", "5551234", message, message};
}

TEST_F(PageLogTest, RecordIsInterruptedUntilFinished) {
  PageLog log(Path());  // makes the folder
  const auto id = log.Begin(To("1001", "line one\r\nline two, \"quoted\""));
  auto records = log.List({});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].outcome, PageOutcome::kInterrupted);
  EXPECT_FALSE(records[0].duration_ms);
  EXPECT_EQ(records[0].attempt.message, "line one\r\nline two, \"quoted\"");

  log.Finish(id, {PageOutcome::kRefused, "Invalid PIN Number", "Invalid Pin"});
  records = PageLog(Path()).List({});  // as another program reads it
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].outcome, PageOutcome::kRefused);
  EXPECT_EQ(records[0].terminal, "Invalid Pin");
  EXPECT_EQ(records[0].reason, "Invalid PIN Number");
  ASSERT_TRUE(records[0].duration_ms);
  EXPECT_GE(*records[0].duration_ms, 0);
  EXPECT_EQ(records[0].started.size(), std::string("2026-12-07T01:02:03.456Z").size());
}

TEST_F(PageLogTest, FiltersPickTheirRecords) {
  PageLog log(Path());
  log.Finish(log.Begin(To("1001")), {PageOutcome::kAccepted, "", "211 Page accepted"});
  log.Finish(log.Begin(To("1002")), {PageOutcome::kNotSent, "the line is busy", ""});
  log.Begin(To("1001"));  // interrupted
  struct Row {
    const char* name;
    PageFilter filter;
    std::vector<std::string> pins;
  };
  const Row rows[] = {
      {"all", {}, {"1001", "1002", "1001"}},
      {"by PIN", {"", "1001", false}, {"1001", "1001"}},
      {"failed only", {"", "", true}, {"1002", "1001"}},
      {"failed to one PIN", {"", "1001", true}, {"1001"}},
      {"since long ago", {"2000-01-01", "", false}, {"1001", "1002", "1001"}},
      {"since the future", {"2999-01-01T00:00", "", false}, {}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> pins;
    for (const auto& r : log.List(row.filter)) pins.push_back(r.attempt.pin);
    EXPECT_EQ(pins, row.pins) << row.name;
  }
}

TEST_F(PageLogTest, TwoWritersAtOnceBothGetTheirRecords) {
  { PageLog made(Path()); }  // the file exists before the race
  auto writer = [this](const std::string& pin) {
    PageLog log(Path());
    for (int i = 0; i < 50; ++i) {
      log.Finish(log.Begin(To(pin)), {PageOutcome::kAccepted, "", ""});
    }
  };
  std::thread a(writer, "1001"), b(writer, "1002");
  a.join();
  b.join();
  PageLog log(Path());
  EXPECT_EQ(log.List({"", "1001", false}).size(), 50u);
  EXPECT_EQ(log.List({"", "1002", false}).size(), 50u);
  EXPECT_TRUE(log.List({"", "", true}).empty());
}

// A log written before the message as typed was kept: opening it adds the
// column in place, its records stay whole (typed empty), readers and new
// records see the column; a second opening changes nothing.
TEST_F(PageLogTest, AnOldLogGetsTheTypedColumnInPlace) {
  { PageLog made(Path()); }  // the folder as the log wants it
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(
                db,
                "DROP TABLE pages;"
                "CREATE TABLE pages (id INTEGER PRIMARY KEY,"
                " started TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),"
                " program TEXT NOT NULL, user TEXT NOT NULL, pin TEXT NOT NULL,"
                " names TEXT NOT NULL, line TEXT NOT NULL, message TEXT NOT NULL,"
                " outcome TEXT NOT NULL DEFAULT 'interrupted',"
                " reason TEXT NOT NULL DEFAULT '', terminal TEXT NOT NULL DEFAULT '',"
                " duration_ms INTEGER);"
                "INSERT INTO pages (program, user, pin, names, line, message, outcome)"
                " VALUES ('zentrel', 'ops', '1001', 'Ann Lee', '5551234', 'old page', 'accepted');",
                nullptr, nullptr, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);

  PageAttempt typed = To("1002", "Grusse");
  typed.typed =
      "Gr\xc3\xbc\xc3\x9f"
      "e";
  PageLog(Path()).Begin(typed);
  const std::string with_nul("a\0b", 3);  // from a message file: kept whole
  PageLog(Path()).Begin(To("1003", with_nul));
  const auto records = PageLog(Path()).List({});
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].attempt.pin, "1001");
  EXPECT_EQ(records[0].attempt.names, "Ann Lee");
  EXPECT_EQ(records[0].attempt.message, "old page");
  EXPECT_EQ(records[0].outcome, PageOutcome::kAccepted);
  EXPECT_EQ(records[0].attempt.typed, "");
  EXPECT_EQ(records[1].attempt.message, "Grusse");
  EXPECT_EQ(records[1].attempt.typed,
            "Gr\xc3\xbc\xc3\x9f"
            "e");
  EXPECT_EQ(records[2].attempt.typed, with_nul);
}

}  // namespace
}  // namespace zentrel
