// zentrel-log's view of a queue gateways share, on the tests' own PostgreSQL
// server: tables made by the queue itself, rows written in. The filters pick
// the same pages as from a queue file, the table reads the same, a page on
// the line names its gateway, and what is not a reachable queue is a clear
// error that shows no password.
#include <gtest/gtest.h>

#include "queue/page_queue.h"
#include "queue/pg_conn.h"
#include "tests/queue/pg_server.h"
#include "tools/log/gateway_format.h"
#include "tools/log/gateway_pages.h"

namespace zentrel {
namespace {

const auto* const pg_environment =
    ::testing::AddGlobalTestEnvironment(new zentrel::testing::PgEnvironment);

// 2026-12-07T08:00:00Z and later; page 4 is on beta's line now.
constexpr const char* kRows = R"(
INSERT INTO pages(id, pin, fname, lname, phone, text, queued_at, by_whom, via, not_before,
  expires_at, next_try, state, held, last_reason, may_be_duplicate, merged_into, holder) VALUES
 (1, '1001', 'Ann', 'Lee', '5551234', 'Pump 3', 1796630400.25, 'uid 1000', 'zentrel-send',
  0, 0, 0, 'accepted', false, '', false, NULL, ''),
 (2, '1002', 'Bo', '', '5550000', 'Ward 4' || chr(27) || '[2J', 1796634000, 'uid 1000', 'socket',
  0, 0, 0, 'refused', false, 'terminal refused', true, NULL, ''),
 (3, '1001', 'Ann', 'Lee', '5551234', 'Pump 3', 1796637600, 'uid 0', 'socket',
  0, 0, 0, 'queued', true, 'busy', false, 1, ''),
 (4, '1003', 'Cy', '', '5551234', 'Lift 2', 1796641200, 'uid 0', 'snpp',
  0, 0, 0, 'on the line', false, '', false, NULL, 'beta');
INSERT INTO attempts(page, at, line, outcome, reason, words, duration_ms, gateway) VALUES
 (1, 1796630401, 'Serial on /dev/pts/3', 'accepted', '', '211 OK', 812, 'alpha'),
 (2, 1796634001, 'Serial on /dev/pts/3', 'not sent', 'busy', 'BUSY', 900, 'alpha'),
 (2, 1796634031, 'Serial on /dev/pts/3', 'refused', 'terminal refused', 'RS', 700, 'beta');
)";

class SharedGatewayPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queue::OpenQueue(address_, {}, {});  // the tables, as a gateway makes them
    queue::pg::Connection(address_).Script(kRows);
  }
  std::string address_ = zentrel::testing::TestPg().NewDatabase();
};

TEST_F(SharedGatewayPagesTest, FiltersPickPagesWithTheirAttempts) {
  const struct {
    const char* name;
    PageFilter filter;
    std::vector<std::int64_t> ids;
  } rows[] = {
      {"all, oldest first", {}, {1, 2, 3, 4}},
      {"since a time", {"2026-12-07T09:00", "", false}, {2, 3, 4}},
      {"since a day", {"2026-12-07", "", false}, {1, 2, 3, 4}},
      {"since later", {"2026-12-08", "", false}, {}},
      {"one PIN", {"", "1001", false}, {1, 3}},
      {"failed", {"", "", true}, {2}},
  };
  for (const auto& row : rows) {
    std::vector<std::int64_t> ids;
    for (const auto& page : ReadGatewayPages(address_, row.filter)) ids.push_back(page.id);
    EXPECT_EQ(ids, row.ids) << row.name;
  }
  const auto pages = ReadGatewayPages(address_, {});
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(pages[0].queued_at, "2026-12-07T08:00:00.250Z");
  EXPECT_EQ(pages[0].names, "Ann Lee");
  ASSERT_EQ(pages[1].attempts.size(), 2u);
  EXPECT_EQ(pages[1].attempts[1].words, "RS");
  EXPECT_TRUE(pages[1].may_be_duplicate);
  EXPECT_TRUE(pages[2].held);
  EXPECT_EQ(pages[2].merged_into, 1);
  EXPECT_TRUE(pages[3].attempts.empty());
}

TEST_F(SharedGatewayPagesTest, TableReadsAsFromAQueueFileAndNamesTheHolder) {
  EXPECT_EQ(GatewayTable(ReadGatewayPages(address_, {"", "1002", false})),
            "2026-12-07T09:00:00.000Z  refused  1002 (Bo)  \"Ward 4\\x1b[2J\"  terminal refused  "
            "may be a duplicate  [gateway page 2, socket, uid 1000]\n"
            "    2026-12-07T09:00:01.000Z Serial on /dev/pts/3: not sent (busy) \"BUSY\" 900 ms\n"
            "    2026-12-07T09:00:31.000Z Serial on /dev/pts/3: refused (terminal refused) \"RS\" "
            "700 ms\n");
  EXPECT_NE(
      GatewayTable(ReadGatewayPages(address_, {"", "1003", false})).find("on the line at beta"),
      std::string::npos);
}

TEST(SharedGatewayPagesErrors, WhatIsNotAReachableQueueIsAClearError) {
  const std::string empty = zentrel::testing::TestPg().NewDatabase();  // no tables
  const struct {
    const char* name;
    std::string address;
  } rows[] = {
      {"no queue there", empty},
      {"no server", "postgresql:///paging?host=/nonexistent&user=ann&password=secret"},
  };
  for (const auto& row : rows) {
    try {
      ReadGatewayPages(row.address, {});
      ADD_FAILURE() << row.name;
    } catch (const QueueFileError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("cannot read the gateway's queue postgresql://", 0), 0u)
          << row.name << ": " << what;
      EXPECT_EQ(what.find("secret"), std::string::npos) << row.name << ": " << what;
    }
  }
  queue::pg::Connection db(empty);
  EXPECT_EQ(db.Exec("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema() "
                    "AND tablename = 'pages'")
                .Int(0, 0),
            0)
      << "reading made the queue's tables";
}

}  // namespace
}  // namespace zentrel
