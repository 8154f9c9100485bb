// Both queues, each test run on a SQLite file in a scratch folder and on a
// fresh database of the tests' own PostgreSQL server, with the clock given
// by each test: the states a page goes through, what one call claims, the
// retry waits and the expiry, the dedupe merge, a person's changes, and the
// recovery after a crash (a second connection opens the same queue, as a
// restarted daemon would).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "queue/page_queue.h"
#include "tests/queue/pg_server.h"

namespace zentrel::queue {
namespace {

constexpr double kT0 = 1'800'000'000;

enum class Backend { kSqlite, kPostgres };

const auto* const pg_environment =
    ::testing::AddGlobalTestEnvironment(new zentrel::testing::PgEnvironment);

class QueueTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/zentrel-queue-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    where_ = GetParam() == Backend::kSqlite ? dir_ + "/queue.db"
                                            : zentrel::testing::TestPg().NewDatabase();
    policy_.waits = {30, 60, 120};
    policy_.expire_after = 3600;
    queue_ = Open();
  }
  void TearDown() override {
    queue_.reset();
    std::filesystem::remove_all(dir_);
  }
  std::unique_ptr<PageQueue> Open() { return OpenQueue(where_, policy_, {"here"}); }

  PageId Add(const std::string& pin, const std::string& text, const std::string& phone = "555",
             double at = kT0, int priority = 0, double not_before = 0) {
    NewPage page{pin, "Ann", "Lee", phone, text, "uid 1000", "socket", not_before, priority};
    return queue_->Submit({page}, at).at(0);
  }
  std::vector<PageId> ClaimIds(double now, bool same_number = true, std::size_t max = 20) {
    std::vector<PageId> ids;
    for (const Page& page : queue_->Claim({"line 1", same_number, max}, now)) {
      ids.push_back(page.id);
    }
    return ids;
  }
  PageState StateOf(PageId id) { return queue_->Find(id).value().state; }
  static Attempt Answer(const std::string& outcome, const std::string& reason, double at) {
    return Attempt{at, "line 1", outcome, reason, "", 10};
  }

  std::string dir_;
  std::string where_;
  RetryPolicy policy_;
  std::unique_ptr<PageQueue> queue_;
};

TEST_P(QueueTest, ACallTakesOneTerminalsPagesOldestAndMostUrgentFirst) {
  const PageId a = Add("1", "a", "555", kT0);
  const PageId b = Add("2", "b", "777", kT0 + 1);
  const PageId c = Add("3", "c", "555", kT0 + 2);
  const PageId urgent = Add("4", "d", "777", kT0 + 3, 5);
  EXPECT_EQ(ClaimIds(kT0 + 10), (std::vector<PageId>{urgent, b}));
  EXPECT_EQ(ClaimIds(kT0 + 10), (std::vector<PageId>{a, c}));
  EXPECT_TRUE(ClaimIds(kT0 + 10).empty()) << "pages on the line are not claimed twice";
  EXPECT_EQ(StateOf(a), PageState::kOnTheLine);
}

TEST_P(QueueTest, ALineWithoutDiallingTakesEveryNumberUpToTheLimit) {
  for (int n = 0; n < 5; ++n) Add(std::to_string(n), "t", std::to_string(n), kT0 + n);
  EXPECT_EQ(ClaimIds(kT0 + 10, false, 3).size(), 3u);
  EXPECT_EQ(ClaimIds(kT0 + 10, false, 3).size(), 2u);
}

TEST_P(QueueTest, HeldUntilATimeIsNotClaimedBefore) {
  const PageId id = Add("1", "later", "555", kT0, 0, kT0 + 100);
  EXPECT_TRUE(ClaimIds(kT0 + 99).empty());
  EXPECT_EQ(queue_->NextDue().value(), kT0 + 100);
  EXPECT_EQ(ClaimIds(kT0 + 100), std::vector<PageId>{id});
}

// Each row: the answers of successive calls (each 200 s after the one
// before, longer than any wait), where the page ends and its next try.
TEST_P(QueueTest, AnswersDecideTheNextTryOrTheEnd) {
  struct Row {
    const char* name;
    std::vector<std::pair<std::string, std::string>> answers;  // outcome, reason
    PageState end;
    double wait;  // next try after the last answer, when queued
  };
  const std::vector<Row> rows = {
      {"accepted", {{"accepted", ""}}, PageState::kAccepted, 0},
      {"terminal refused", {{"refused", "terminal refused"}}, PageState::kRefused, 0},
      {"refused number", {{"not sent", "refused number"}}, PageState::kRefused, 0},
      {"busy once", {{"not sent", "busy"}}, PageState::kQueued, 30},
      {"busy, no answer",
       {{"not sent", "busy"}, {"not sent", "no answer"}},
       PageState::kQueued,
       60},
      {"the last wait repeats",
       {{"not sent", "busy"}, {"not sent", "busy"}, {"not sent", "busy"}, {"not sent", "busy"}},
       PageState::kQueued,
       120},
      {"a line fault is not counted",
       {{"not sent", "busy"}, {"not sent", "line unusable"}},
       PageState::kQueued,
       0},
      {"busy, then accepted", {{"not sent", "busy"}, {"accepted", ""}}, PageState::kAccepted, 0},
  };
  double t = kT0;
  for (const Row& row : rows) {
    const PageId id = Add(row.name, row.name, row.name, t);
    for (const auto& [outcome, reason] : row.answers) {
      t += 200;
      ASSERT_EQ(ClaimIds(t), std::vector<PageId>{id}) << row.name;
      queue_->RecordAnswer(id, Answer(outcome, reason, t));
    }
    const Page page = queue_->Find(id).value();
    EXPECT_EQ(page.state, row.end) << row.name;
    EXPECT_EQ(page.attempts.size(), row.answers.size()) << row.name;
    EXPECT_EQ(page.last_reason, row.answers.back().second) << row.name;
    if (row.end == PageState::kQueued) {
      EXPECT_EQ(page.next_try, t + row.wait) << row.name;
      queue_->Apply(id, Change::kCancel, t);
    }
  }
}

TEST_P(QueueTest, AnAcceptedPageIsNeverClaimedAgain) {
  const PageId id = Add("1", "once");
  ClaimIds(kT0);
  queue_->RecordAnswer(id, Answer("accepted", "", kT0));
  EXPECT_EQ(queue_->Apply(id, Change::kRetry, kT0).status, ChangeResult::Status::kFinal);
  queue_ = Open();
  queue_->Recover(kT0);
  EXPECT_TRUE(ClaimIds(kT0 + 10000).empty());
  EXPECT_EQ(StateOf(id), PageState::kAccepted);
}

TEST_P(QueueTest, NotDeliveredBeforeItsExpiryEndsExpired) {
  const PageId id = Add("1", "late");
  ClaimIds(kT0);
  queue_->RecordAnswer(id, Answer("not sent", "busy", kT0 + 3590));
  EXPECT_EQ(StateOf(id), PageState::kQueued);
  EXPECT_TRUE(queue_->ExpireDue(kT0 + 3599).empty());
  EXPECT_EQ(queue_->ExpireDue(kT0 + 3600), std::vector<PageId>{id});
  EXPECT_EQ(StateOf(id), PageState::kExpired);
  EXPECT_TRUE(ClaimIds(kT0 + 4000).empty());
}

TEST_P(QueueTest, TheSameTextToTheSamePinWithinTheWindowGoesOnce) {
  const PageId first = Add("1", "fire", "555", kT0);
  const PageId again = Add("1", "fire", "555", kT0 + 30);
  const PageId other_text = Add("1", "smoke", "555", kT0 + 30);
  const PageId later = Add("1", "fire", "555", kT0 + 61);
  EXPECT_EQ(ClaimIds(kT0 + 100), (std::vector<PageId>{first, other_text, later}));
  queue_->RecordAnswer(first, Answer("accepted", "", kT0 + 100));
  const Page merged = queue_->Find(again).value();
  EXPECT_EQ(merged.merged_into, first);
  EXPECT_EQ(merged.state, PageState::kAccepted) << "a merged submission shows its page's state";
  EXPECT_EQ(queue_->Find(first)->merged_ids, std::vector<PageId>{again});
}

// A watch is told about a page once it is final (a merged submission once
// the page it went out as is) or when there is no such page; the others
// wait. One read answers for all, in the order asked.
TEST_P(QueueTest, SettledNamesTheFinalAndTheUnknownPagesInOrder) {
  const PageId accepted = Add("1", "a", "555", kT0);
  ASSERT_EQ(ClaimIds(kT0), std::vector<PageId>{accepted});
  queue_->RecordAnswer(accepted, Answer("accepted", "", kT0));
  const PageId merged_accepted = Add("1", "a", "555", kT0 + 1);
  const PageId on_line = Add("3", "c", "888", kT0 + 2);
  ASSERT_EQ(ClaimIds(kT0 + 2), std::vector<PageId>{on_line});
  const PageId queued = Add("2", "b", "777", kT0 + 3);
  const PageId merged_queued = Add("2", "b", "777", kT0 + 4);
  const PageId cancelled = Add("4", "d", "999", kT0 + 5);
  queue_->Apply(cancelled, Change::kCancel, kT0 + 5);
  const PageId missing = cancelled + 1000;
  EXPECT_EQ(queue_->Settled(
                {queued, missing, merged_queued, accepted, on_line, cancelled, merged_accepted}),
            (std::vector<PageId>{missing, accepted, cancelled, merged_accepted}));
  EXPECT_TRUE(queue_->Settled({}).empty());
}

// Each row: the page's state when a person asks, and what comes of it.
TEST_P(QueueTest, PersonsChangesApplyOnlyWhereTheyMakeSense) {
  using Status = ChangeResult::Status;
  struct Row {
    const char* state;  // how the page is brought there
    Change change;
    Status status;
    PageState after;
  };
  const std::vector<Row> rows = {
      {"queued", Change::kCancel, Status::kDone, PageState::kCancelled},
      {"queued", Change::kHold, Status::kDone, PageState::kQueued},
      {"on the line", Change::kCancel, Status::kOnTheLine, PageState::kOnTheLine},
      {"on the line", Change::kRetry, Status::kOnTheLine, PageState::kOnTheLine},
      {"on the line", Change::kHold, Status::kDone, PageState::kOnTheLine},
      {"accepted", Change::kCancel, Status::kFinal, PageState::kAccepted},
      {"accepted", Change::kRetry, Status::kFinal, PageState::kAccepted},
      {"refused", Change::kRetry, Status::kDone, PageState::kQueued},
      {"cancelled", Change::kRelease, Status::kFinal, PageState::kCancelled},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string name = std::string(row.state) + " " + std::to_string(n);
    const PageId id = Add(name, name, name);
    const std::string state = row.state;
    if (state != "queued") {
      ASSERT_EQ(ClaimIds(kT0), std::vector<PageId>{id}) << name;
    }
    if (state == "accepted") queue_->RecordAnswer(id, Answer("accepted", "", kT0));
    if (state == "refused") queue_->RecordAnswer(id, Answer("refused", "terminal refused", kT0));
    if (state == "cancelled") {
      queue_->RecordAnswer(id, Answer("not sent", "busy", kT0));
      queue_->Apply(id, Change::kCancel, kT0);
    }
    const ChangeResult result = queue_->Apply(id, row.change, kT0 + 1);
    EXPECT_EQ(result.status, row.status) << name;
    EXPECT_EQ(result.page.value().state, row.after) << name;
    ClaimIds(kT0 + 10000);  // clears the way for the next row
    ++n;
  }
  EXPECT_EQ(queue_->Apply(9999, Change::kCancel, kT0).status, Status::kNoSuchPage);
}

TEST_P(QueueTest, AHeldPageWaitsForItsRelease) {
  const PageId id = Add("1", "wait");
  queue_->Apply(id, Change::kHold, kT0);
  EXPECT_TRUE(ClaimIds(kT0 + 10).empty());
  queue_->Apply(id, Change::kRelease, kT0 + 10);
  EXPECT_EQ(ClaimIds(kT0 + 10), std::vector<PageId>{id});
}

// A restart after a crash: what was on the line is queued again, marked a
// possible duplicate exactly when its block had gone out.
TEST_P(QueueTest, ACrashPutsPagesBackAndMarksThoseWhoseBlockWentOut) {
  const PageId sent = Add("1", "a", "555", kT0);
  const PageId out = Add("2", "b", "555", kT0 + 1);
  const PageId waiting = Add("3", "c", "555", kT0 + 2);
  ClaimIds(kT0 + 5);
  queue_->MarkSending(sent);
  queue_->RecordAnswer(sent, Answer("accepted", "", kT0 + 5));
  queue_->MarkSending(out);
  queue_ = Open();  // the daemon died here
  EXPECT_EQ(queue_->Recover(kT0 + 20), 2);
  EXPECT_EQ(ClaimIds(kT0 + 20), (std::vector<PageId>{out, waiting}));
  EXPECT_TRUE(queue_->Find(out)->may_be_duplicate);
  EXPECT_FALSE(queue_->Find(waiting)->may_be_duplicate);
  EXPECT_EQ(StateOf(sent), PageState::kAccepted);
}

TEST_P(QueueTest, ACallThatEndsEarlyReturnsTheRestWithItsReason) {
  const PageId a = Add("1", "a");
  const PageId b = Add("2", "b");
  ClaimIds(kT0);
  queue_->RecordAnswer(a, Answer("accepted", "", kT0));
  EXPECT_EQ(queue_->EndCall({a, b}, {"line 1", "call dropped", "NO CARRIER", kT0 + 1, 900}),
            std::vector<PageId>{b});
  const Page page = queue_->Find(b).value();
  EXPECT_EQ(page.state, PageState::kQueued);
  EXPECT_EQ(page.last_reason, "call dropped");
  EXPECT_EQ(page.next_try, kT0 + 1 + 30);
  EXPECT_EQ(StateOf(a), PageState::kAccepted);
}

// Each gateway's lines as it last wrote them, read back through a second
// connection: a write replaces the writer's own lines only, in their order,
// and an empty one (a clean stop) removes them.
TEST_P(QueueTest, EachGatewaysLinesAreReadAsItLastWroteThem) {
  const auto line = [](const std::string& name, const std::string& state,
                       std::vector<PageId> pages = {}) {
    return LineReport{"ignored", name, state, std::move(pages), 0, 0, 0, 0, 0, kT0, kT0 + 15};
  };
  struct Step {
    const char* gateway;
    std::vector<LineReport> lines;
    std::vector<std::string> read;  // "gateway|name|state|pages" of every line, in order
  };
  const Step steps[] = {
      {"beta",
       {line("m2", "idle"), line("m1", "in a call", {4, 5})},
       {"beta|m2|idle|", "beta|m1|in a call|4 5"}},
      {"alpha",
       {line("l1", "resting")},
       {"alpha|l1|resting|", "beta|m2|idle|", "beta|m1|in a call|4 5"}},
      {"beta", {line("m1", "idle")}, {"alpha|l1|resting|", "beta|m1|idle|"}},
      {"alpha", {}, {"beta|m1|idle|"}},
      {"beta", {}, {}},
  };
  const auto reader = Open();
  for (std::size_t n = 0; n < std::size(steps); ++n) {
    queue_->PublishLines(steps[n].gateway, steps[n].lines);
    std::vector<std::string> read;
    for (const LineReport& r : reader->AllLines()) {
      read.push_back(r.gateway + "|" + r.name + "|" + r.state + "|" + JoinIds(r.pages));
    }
    EXPECT_EQ(read, steps[n].read) << "after step " << n;
  }
}

TEST_P(QueueTest, ALineReportKeepsEveryFieldAndText) {
  const LineReport sent{"",          "TAP \"north\" \u00fc; DROP TABLE pages",
                        "resting",   {1, 9007199254740993},
                        kT0 + 0.125, kT0 + 61.5,
                        3,           1LL << 40,
                        1234.0625,   kT0 + 0.1,
                        kT0 + 15.1};
  queue_->PublishLines("g\u00e4 1", {sent});
  const std::vector<LineReport> got = Open()->AllLines();
  ASSERT_EQ(got.size(), 1u);
  const LineReport& r = got[0];
  EXPECT_EQ(r.gateway, "g\u00e4 1");
  EXPECT_EQ(std::tie(r.name, r.state, r.pages, r.failures, r.calls),
            std::tie(sent.name, sent.state, sent.pages, sent.failures, sent.calls));
  EXPECT_EQ(std::vector<double>({r.since, r.rest_until, r.busy_s, r.updated_at, r.fresh_until}),
            std::vector<double>(
                {sent.since, sent.rest_until, sent.busy_s, sent.updated_at, sent.fresh_until}));
}

INSTANTIATE_TEST_SUITE_P(Backends, QueueTest,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres),
                         [](const auto& info) {
                           return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
                         });

TEST(RetryPolicyText, ParsesWaitsAndRefusesTheRest) {
  EXPECT_EQ(ParseWaits("30 60 120"), (std::vector<double>{30, 60, 120}));
  EXPECT_EQ(ParseWaits(" 0.5,1 "), (std::vector<double>{0.5, 1}));
  for (const char* bad : {"", " ", "30 x", "-1", "1e999", "30s"}) {
    EXPECT_FALSE(ParseWaits(bad).has_value()) << '"' << bad << '"';
  }
}

}  // namespace
}  // namespace zentrel::queue
