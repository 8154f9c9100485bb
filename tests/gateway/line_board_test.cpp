// The board of every gateway's lines over a real SQLite queue, with the
// clock given by each row: what this gateway writes and when (a change, or
// the heartbeat; not the busy seconds growing during a call), and how a
// reader shows another gateway's lines (seen while their writer vouches for
// them, then not seen with their age; its own lines never from the table).
#include "gateway/line_board.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace zentrel::gateway {
namespace {

class LineBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/zentrel-board-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    queue_ = queue::OpenSqliteQueue(dir_ + "/queue.db", {});
  }
  void TearDown() override {
    queue_.reset();
    std::filesystem::remove_all(dir_);
  }
  static LineState Line(const std::string& state, long calls, double busy_s) {
    LineState l;
    l.name = "modem 1";
    l.state = state;
    l.calls = calls;
    l.busy_s = busy_s;
    return l;
  }
  // What a gateway named `self` (with no lines of its own) shows at `now`.
  std::vector<LineState> ShownTo(const std::string& self, double now) {
    GatewaySettings settings;
    settings.name = self;
    const LineCalls calls(settings, *queue_, [] {});
    return ReadEveryLine(*queue_, calls, now).lines;
  }

  std::string dir_;
  std::unique_ptr<queue::PageQueue> queue_;
};

TEST_F(LineBoardTest, WritesWhenALineChangesAndOnTheHeartbeat) {
  LineBoard board(*queue_, "alpha", 5);
  struct Row {
    double at;
    const char* state;
    long calls;
    double busy_s;
    bool written;
    const char* why;
  };
  const Row rows[] = {
      {100, "idle", 0, 0, true, "the first state"},
      {101, "idle", 0, 0, false, "nothing changed"},
      {102, "in a call", 1, 0, true, "a call started"},
      {103, "in a call", 1, 1, false, "only the busy seconds grew"},
      {107, "in a call", 1, 5, true, "the heartbeat came"},
      {108, "in a call", 1, 6, false, "only the busy seconds grew"},
      {108.5, "resting", 1, 6.5, true, "the call ended and the line rests"},
  };
  double last = 0;
  for (const Row& row : rows) {
    board.Update({Line(row.state, row.calls, row.busy_s)}, row.at);
    const auto lines = queue_->AllLines();
    ASSERT_EQ(lines.size(), 1u) << row.why;
    if (row.written) last = row.at;
    EXPECT_EQ(lines[0].updated_at, last) << row.why;
    EXPECT_EQ(lines[0].fresh_until, last + 5 * kStaleHeartbeats) << row.why;
    EXPECT_EQ(board.NextDue(), last + 5) << row.why;
  }
  EXPECT_EQ(queue_->AllLines()[0].state, "resting");
  board.Withdraw();
  EXPECT_TRUE(queue_->AllLines().empty()) << "a clean stop removes the lines";
}

TEST_F(LineBoardTest, AnotherGatewaysLinesAreNotSeenOnceItStopsWriting) {
  LineBoard alpha(*queue_, "alpha", 5);
  alpha.Update({Line("in a call", 2, 7)}, 100);
  struct Row {
    double now;
    bool seen;
    double age_s;
  };
  const Row rows[] = {{100, true, 0}, {101.5, true, 1.5}, {115, true, 15}, {115.5, false, 15.5}};
  for (const Row& row : rows) {
    const auto shown = ShownTo("beta", row.now);
    ASSERT_EQ(shown.size(), 1u) << row.now;
    EXPECT_EQ(shown[0].gateway, "alpha");
    EXPECT_EQ(shown[0].state, "in a call");
    EXPECT_EQ(shown[0].calls, 2);
    EXPECT_EQ(shown[0].seen, row.seen) << row.now;
    EXPECT_EQ(shown[0].age_s, row.age_s) << row.now;
  }
  EXPECT_TRUE(ShownTo("alpha", 101).empty()) << "a gateway shows its own lines as they are";
}

}  // namespace
}  // namespace zentrel::gateway
