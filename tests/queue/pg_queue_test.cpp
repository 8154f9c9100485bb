// What only the shared database does, on the tests' own PostgreSQL server:
// two gateways (two queues with different names on one database) never take
// the same page, a hold not renewed is taken over after its lease and marked
// when its block had gone out, a submission wakes the other gateway, the
// schema is made once by gateways starting together, and a server that goes
// away gives clear errors and is reached again when it is back.
#include "queue/pg_queue.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <set>
#include <thread>

#include "queue/page_queue.h"
#include "queue/pg_conn.h"
#include "tests/queue/pg_server.h"

namespace zentrel::queue {
namespace {

constexpr double kT0 = 1'800'000'000;
constexpr double kLease = 30;

class SharedQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { where_ = zentrel::testing::TestPg().NewDatabase(); }
  std::unique_ptr<PageQueue> Gateway(const std::string& name, double reconnect_max_s = 5) {
    return OpenQueue(where_, RetryPolicy{}, {name, kLease, reconnect_max_s});
  }
  static PageId Add(PageQueue& queue, const std::string& pin, double at = kT0) {
    NewPage page{pin, "Ann", "Lee", "555", "text " + pin, "uid 1000", "socket"};
    return queue.Submit({page}, at).at(0);
  }
  static std::vector<PageId> ClaimIds(PageQueue& queue, double now, std::size_t max = 20) {
    std::vector<PageId> ids;
    for (const Page& page : queue.Claim({"line", true, max}, now)) ids.push_back(page.id);
    return ids;
  }
  std::string where_;
};

TEST_F(SharedQueueTest, GatewaysClaimingAtOnceEachTakeOtherPages) {
  auto setup = Gateway("setup");
  std::set<PageId> all;
  for (int n = 0; n < 60; ++n) all.insert(Add(*setup, std::to_string(n)));
  std::vector<PageId> got[2];
  std::thread gateways[2];
  for (int g = 0; g < 2; ++g) {
    gateways[g] = std::thread([this, g, &got] {
      auto queue = Gateway("gw" + std::to_string(g));
      for (;;) {
        const auto ids = ClaimIds(*queue, kT0 + 1, 3);
        if (ids.empty()) break;
        got[g].insert(got[g].end(), ids.begin(), ids.end());
      }
    });
  }
  for (auto& t : gateways) t.join();
  std::set<PageId> claimed(got[0].begin(), got[0].end());
  claimed.insert(got[1].begin(), got[1].end());
  EXPECT_EQ(claimed, all);
  EXPECT_EQ(got[0].size() + got[1].size(), all.size()) << "a page was claimed twice";
}

// Each row: whether the first gateway's block went out, whether it renewed
// its hold, and what the second gateway finds past the first lease.
TEST_F(SharedQueueTest, AHoldNotRenewedIsTakenOverAfterItsLease) {
  struct Row {
    const char* name;
    bool block_out;
    bool renewed;
    bool taken;
    bool duplicate;
  };
  const std::vector<Row> rows = {
      {"died before its block", false, false, true, false},
      {"died with its block out", true, false, true, true},
      {"alive and renewing", true, true, false, false},
  };
  double t = kT0;
  for (const Row& row : rows) {
    auto a = Gateway("a");
    auto b = Gateway("b");
    const PageId id = Add(*a, row.name, t);
    ASSERT_EQ(ClaimIds(*a, t), std::vector<PageId>{id}) << row.name;
    if (row.block_out) a->MarkSending(id);
    EXPECT_TRUE(ClaimIds(*b, t + 1).empty()) << row.name;
    EXPECT_EQ(a->Find(id)->holder, "a") << row.name;
    if (row.renewed) a->Tick(t + kLease / 2);
    EXPECT_EQ(b->NextDue().value(), t + (row.renewed ? kLease * 1.5 : kLease)) << row.name;
    const auto taken = ClaimIds(*b, t + kLease + 1);
    EXPECT_EQ(!taken.empty(), row.taken) << row.name;
    const Page page = b->Find(id).value();
    EXPECT_EQ(page.holder, row.taken ? "b" : "a") << row.name;
    EXPECT_EQ(page.may_be_duplicate, row.duplicate) << row.name;
    if (!row.taken) continue;
    // The first gateway may not send the page now, nor end it by a late answer.
    EXPECT_THROW(a->MarkSending(id), QueueError) << row.name;
    a->RecordAnswer(id, Attempt{t + kLease + 2, "line", "not sent", "busy", "", 1});
    EXPECT_EQ(b->Find(id)->state, PageState::kOnTheLine) << row.name;
    b->RecordAnswer(id, Attempt{t + kLease + 3, "line", "accepted", "", "", 1});
    EXPECT_EQ(a->Find(id)->state, PageState::kAccepted) << row.name;
    t += 1000;
  }
}

TEST_F(SharedQueueTest, ASubmissionWakesTheOtherGateway) {
  auto a = Gateway("a");
  auto b = Gateway("b");
  ASSERT_GE(b->WakeFd(), 0);
  Add(*a, "1");
  pollfd p{b->WakeFd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1) << "no notice within 5 s";
  EXPECT_EQ(b->Tick(kT0), kT0) << "the notice asks for a claim now";
  EXPECT_EQ(ClaimIds(*b, kT0).size(), 1u);
}

// A database a gateway of the first schema wrote (no table of line states)
// gets the later steps when a newer gateway opens it, its pages kept.
TEST_F(SharedQueueTest, AnOlderDatabaseIsUpgradedKeepingItsPages) {
  const PageId id = Add(*Gateway("old"), "1");
  {
    pg::Connection db(where_);
    db.Script("DROP TABLE gateway_lines; DELETE FROM zentrel_schema WHERE version > 1");
  }
  auto queue = Gateway("new");
  pg::Connection db(where_);
  EXPECT_EQ(db.Exec("SELECT max(version) FROM zentrel_schema").Int(0, 0), pg::SchemaVersion());
  EXPECT_TRUE(queue->Find(id).has_value());
  queue->PublishLines("new", {LineReport{"", "line 1", "idle"}});
  EXPECT_EQ(queue->AllLines().size(), 1u);
}

TEST_F(SharedQueueTest, GatewaysStartingTogetherMakeTheSchemaOnce) {
  std::string errors[4];
  std::thread starts[4];
  for (int n = 0; n < 4; ++n) {
    starts[n] = std::thread([this, n, &errors] {
      try {
        Gateway("gw" + std::to_string(n));
      } catch (const QueueError& e) {
        errors[n] = e.what();
      }
    });
  }
  for (auto& t : starts) t.join();
  for (const std::string& e : errors) EXPECT_EQ(e, "");
  pg::Connection db(where_);
  EXPECT_EQ(db.Exec("SELECT count(*) FROM zentrel_schema").Int(0, 0), pg::SchemaVersion())
      << "each step once";
  EXPECT_EQ(db.Exec("SELECT max(version) FROM zentrel_schema").Int(0, 0), pg::SchemaVersion());
  db.Exec("INSERT INTO zentrel_schema(version) VALUES(999)");
  try {
    Gateway("old");
    FAIL() << "a gateway opened a database a newer program wrote";
  } catch (const QueueError& e) {
    EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos) << e.what();
  }
}

// The server stops under a gateway: every call says the database is
// unreachable, nothing is stored, and the queue works again once it is back.
TEST_F(SharedQueueTest, AnOutageGivesClearErrorsAndEndsByItself) {
  auto a = Gateway("a", 0);
  const PageId before = Add(*a, "before");
  zentrel::testing::TestPg().Stop();
  try {
    Add(*a, "during");
    ADD_FAILURE() << "a page was taken while the database was down";
  } catch (const QueueError& e) {
    EXPECT_NE(std::string(e.what()).find("unreachable"), std::string::npos) << e.what();
  }
  EXPECT_EQ(a->WakeFd(), -1);
  zentrel::testing::TestPg().Start();
  const PageId after = Add(*a, "after");
  EXPECT_GE(a->WakeFd(), 0);
  EXPECT_EQ(ClaimIds(*a, kT0 + 1), (std::vector<PageId>{before, after}));
}

TEST(ShownAddress, HidesPasswords) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"postgresql://ann:secret@db/paging", "postgresql://ann:***@db/paging"},
      {"postgres://ann@db/paging?password=x&sslmode=require",
       "postgres://ann@db/paging?password=***&sslmode=require"},
      {"postgresql:///paging?host=/run/pg", "postgresql:///paging?host=/run/pg"},
      {"/var/lib/zentrel/queue.db", "/var/lib/zentrel/queue.db"},
  };
  for (const auto& [address, shown] : rows) EXPECT_EQ(ShownAddress(address), shown) << address;
}

}  // namespace
}  // namespace zentrel::queue
