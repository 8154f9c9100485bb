// The queue of senders on one line: tickets in the order taken, a turn that
// waits for every earlier ticket still held, a deadline that ends the wait,
// and tickets whose holders died swept away.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "delivery/line_queue.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LineQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zentrel-queue-" + std::to_string(getpid()));
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(LineQueueTest, TurnsComeInTicketOrderAndEndAtTheDeadline) {
  auto first = std::make_unique<LineTicket>(dir_.string(), "/dev/ttyS0");
  LineTicket second(dir_.string(), "/dev/ttyS0");
  LineTicket other_line(dir_.string(), "/dev/ttyS1");
  EXPECT_LT(first->number(), second.number());

  int said = 0;
  const auto soon = LineTicket::Clock::now() + 30ms;
  EXPECT_TRUE(first->AwaitTurn(soon, [&] { ++said; }, 1ms));
  EXPECT_TRUE(other_line.AwaitTurn(soon, [&] { ++said; }, 1ms));
  EXPECT_EQ(said, 0) << "nobody was ahead";

  EXPECT_FALSE(second.AwaitTurn(soon, [&] { ++said; }, 1ms));
  EXPECT_EQ(said, 1) << "the wait is said once";

  first.reset();  // the first sender is done
  EXPECT_TRUE(second.AwaitTurn(LineTicket::Clock::now(), nullptr, 1ms));
}

TEST_F(LineQueueTest, TicketOfADeadSenderIsSwept) {
  LineTicket probe(dir_.string(), "line");  // makes the folder
  const fs::path folder = *fs::directory_iterator(dir_);
  const fs::path dead = folder / "ticket-00000000000000000000";
  std::ofstream(dead) << "";  // a ticket nobody holds: its sender was killed
  LineTicket mine(dir_.string(), "line");
  // `probe` is ahead and alive; once it is gone, the dead one must not block.
  EXPECT_FALSE(mine.AwaitTurn(LineTicket::Clock::now(), nullptr, 1ms));
  EXPECT_FALSE(fs::exists(dead));
}

TEST_F(LineQueueTest, UnusableFolderIsAnError) {
  std::ofstream(dir_.string() + "-file") << "not a folder";
  EXPECT_THROW(LineTicket((dir_.string() + "-file"), "line"), LineQueueError);
  fs::remove(dir_.string() + "-file");
}

}  // namespace
}  // namespace zentrel
