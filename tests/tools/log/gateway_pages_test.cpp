// zentrel-log's view of the gateway's queue, on a real SQLite file made by
// the queue itself, with rows written in: the filters pick the right pages, each page brings its
// attempts, the file is never changed, and a file that is not a queue is a
// clear error.
#include "tools/log/gateway_pages.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "queue/page_queue.h"
#include "tools/log/gateway_format.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;

// 2026-12-07T08:00:00Z and later.
constexpr const char* kRows = R"(
INSERT INTO pages(id, pin, fname, lname, phone, text, queued_at, by_whom, via, not_before,
  expires_at, next_try, state, held, last_reason, may_be_duplicate, merged_into) VALUES
 (1, '1001', 'Ann', 'Lee', '5551234', 'Pump 3', 1796630400.25, 'uid 1000', 'zentrel-send',
  0, 0, 0, 'accepted', 0, '', 0, NULL),
 (2, '1002', 'Bo', '', '5550000', 'Ward 4' || char(27) || '[2J', 1796634000, 'uid 1000', 'socket',
  0, 0, 0, 'refused', 0, 'terminal refused', 1, NULL),
 (3, '1001', 'Ann', 'Lee', '5551234', 'Pump 3', 1796637600, 'uid 0', 'socket',
  0, 0, 0, 'queued', 1, 'busy', 0, 1);
INSERT INTO attempts(page, at, line, outcome, reason, words, duration_ms) VALUES
 (1, 1796630401, 'Serial on /dev/pts/3', 'accepted', '', '211 OK', 812),
 (2, 1796634001, 'Serial on /dev/pts/3', 'not sent', 'busy', 'BUSY', 900),
 (2, 1796634031, 'Serial on /dev/pts/3', 'refused', 'terminal refused', 'RS', 700);
)";

class GatewayPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zentrel-gwlog-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path() const { return (dir_ / "queue.db").string(); }
  // The queue's tables as zentrel-gateway makes them.
  void MakeQueue() const { queue::OpenSqliteQueue(Path(), {}); }
  void Make(const std::string& sql) const {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "");
  }
  fs::path dir_;
};

TEST_F(GatewayPagesTest, FiltersPickPagesWithTheirAttempts) {
  MakeQueue();
  Make(kRows);
  const struct {
    const char* name;
    PageFilter filter;
    std::vector<std::int64_t> ids;
  } rows[] = {
      {"all, oldest first", {}, {1, 2, 3}},
      {"since a time", {"2026-12-07T09:00", "", false}, {2, 3}},
      {"since a day", {"2026-12-07", "", false}, {1, 2, 3}},
      {"since later", {"2026-12-08", "", false}, {}},
      {"one PIN", {"", "1001", false}, {1, 3}},
      {"failed", {"", "", true}, {2}},
  };
  for (const auto& row : rows) {
    std::vector<std::int64_t> ids;
    for (const auto& page : ReadGatewayPages(Path(), row.filter)) ids.push_back(page.id);
    EXPECT_EQ(ids, row.ids) << row.name;
  }
  const auto pages = ReadGatewayPages(Path(), {});
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].queued_at, "2026-12-07T08:00:00.250Z");
  EXPECT_EQ(pages[0].names, "Ann Lee");
  EXPECT_EQ(pages[1].names, "Bo");
  ASSERT_EQ(pages[1].attempts.size(), 2u);
  EXPECT_EQ(pages[1].attempts[1].words, "RS");
  EXPECT_TRUE(pages[1].may_be_duplicate);
  EXPECT_TRUE(pages[2].held);
  EXPECT_EQ(pages[2].merged_into, 1);
}

TEST_F(GatewayPagesTest, TableEscapesWhatCameFromOutside) {
  MakeQueue();
  Make(kRows);
  const std::string table = GatewayTable(ReadGatewayPages(Path(), {"", "1002", false}));
  EXPECT_EQ(table,
            "2026-12-07T09:00:00.000Z  refused  1002 (Bo)  \"Ward 4\\x1b[2J\"  terminal refused  "
            "may be a duplicate  [gateway page 2, socket, uid 1000]\n"
            "    2026-12-07T09:00:01.000Z Serial on /dev/pts/3: not sent (busy) \"BUSY\" 900 ms\n"
            "    2026-12-07T09:00:31.000Z Serial on /dev/pts/3: refused (terminal refused) \"RS\" "
            "700 ms\n");
}

TEST_F(GatewayPagesTest, ReadingLeavesTheFileAsItWas) {
  MakeQueue();
  Make(kRows);
  const auto before = fs::last_write_time(Path());
  const auto size = fs::file_size(Path());
  ReadGatewayPages(Path(), {});
  EXPECT_EQ(fs::last_write_time(Path()), before);
  EXPECT_EQ(fs::file_size(Path()), size);
}

TEST_F(GatewayPagesTest, WhatIsNotAQueueIsAClearError) {
  const struct {
    const char* name;
    std::string content;  // "" = no file
  } rows[] = {{"missing", ""}, {"text file", "not a database\n"}, {"other tables", "-"}};
  for (const auto& row : rows) {
    fs::remove(Path());
    if (row.content == "-") {
      Make("CREATE TABLE t(x);");
    } else if (!row.content.empty()) {
      std::ofstream(Path()) << row.content;
    }
    try {
      ReadGatewayPages(Path(), {});
      ADD_FAILURE() << row.name;
    } catch (const QueueFileError& e) {
      EXPECT_NE(std::string(e.what()).find("cannot read the gateway's queue " + Path()),
                std::string::npos)
          << row.name << ": " << e.what();
    }
    EXPECT_EQ(fs::exists(Path()), !row.content.empty()) << row.name << ": file made";
  }
}

}  // namespace
}  // namespace zentrel
