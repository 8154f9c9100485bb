// The page log on a real file: a begun record reads "interrupted" until it is
// finished, the filters pick the right records, two writers at once both get
// theirs, and a log that can't be written is said, never thrown.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "journal/page_journal.h"
#include "journal/page_log.h"

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
  return {"zentrel-send", "ops", pin, "Ann Lee", "5551234", message};
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

TEST_F(PageLogTest, UnwritableLogIsSaidNotThrown) {
  fs::create_directories(dir_);
  const auto blocker = dir_ / "file";
  std::ofstream(blocker) << "a file where the folder should be";
  std::vector<std::string> said;
  PageJournal journal((blocker / "pages.db").string(),
                      [&](const std::string& text) { said.push_back(text); });
  journal.Begin(To("1001"));
  journal.Finish({PageOutcome::kAccepted, "", ""});
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].rfind("page log not written: ", 0), 0u) << said[0];
}

}  // namespace
}  // namespace zentrel
