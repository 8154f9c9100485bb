// The queue of senders on one line: tickets in the order taken, a turn that
// waits for every earlier ticket still held, a deadline that ends the wait,
// tickets whose holders died swept away, and a shared folder whose traps
// (links, FIFOs, another user's folder) are refused or stepped around
// without writing through them or waiting on them.
#include "delivery/line_queue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zentrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t kOtherUid = 64123;  // no account needed

class LineQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zentrel-queue-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Ticket(int number) const {
    char name[64];
    std::snprintf(name, sizeof name, "zentrel-line-line.ticket-%019d", number);
    return (dir_ / name).string();
  }
  fs::path dir_;
};

TEST_F(LineQueueTest, TurnsComeInTicketOrderAndEndAtTheDeadline) {
  auto first = std::make_unique<LineTicket>(dir_.string(), "/dev/ttyS0");
  LineTicket second(dir_.string(), "/dev/ttyS0");
  LineTicket other_line(dir_.string(), "/dev/ttyS1");
  EXPECT_LT(first->number(), second.number());

  int said = 0;
  const auto soon = LineTicket::Clock::now() + 30ms;
  EXPECT_TRUE(first->AwaitTurn(
      soon, [&] { ++said; }, 1ms));
  EXPECT_TRUE(other_line.AwaitTurn(
      soon, [&] { ++said; }, 1ms));
  EXPECT_EQ(said, 0) << "nobody was ahead";

  EXPECT_FALSE(second.AwaitTurn(
      soon, [&] { ++said; }, 1ms));
  EXPECT_EQ(said, 1) << "the wait is said once";

  first.reset();  // the first sender is done
  EXPECT_TRUE(second.AwaitTurn(LineTicket::Clock::now(), nullptr, 1ms));
}

TEST_F(LineQueueTest, TicketOfADeadSenderIsSwept) {
  auto alive = std::make_unique<LineTicket>(dir_.string(), "line");
  std::ofstream(Ticket(2)) << "";  // a ticket nobody holds: its sender was killed
  LineTicket mine(dir_.string(), "line");
  EXPECT_EQ(mine.number(), 2u) << "the dead ticket's number is free again";
  EXPECT_FALSE(mine.AwaitTurn(LineTicket::Clock::now(), nullptr, 1ms)) << "the live one is ahead";
  alive.reset();
  EXPECT_TRUE(mine.AwaitTurn(LineTicket::Clock::now(), nullptr, 1ms));
}

// Each row lays a trap in the folder, takes a ticket and waits its turn: a
// trap on the folder itself is refused with a message naming it; one among
// the files is never written through nor waited on. The file the links
// point at stays byte for byte as it was.
TEST_F(LineQueueTest, TrapsInTheSharedFolderAreRefusedOrSteppedAround) {
  if (getuid() != 0) GTEST_SKIP() << "another user's files need root to make";
  const fs::path victim = dir_ / "victim.mdb";
  const fs::path folder = dir_ / "locks";
  const struct {
    const char* name;
    std::function<void()> lay;
    const char* refusal;  // "" when the ticket must be taken and the turn come
  } rows[] = {
      {"another user's folder", [&] { ::chown(folder.c_str(), kOtherUid, kOtherUid); },
       "belongs to uid 64123, not to you"},
      {"a folder anyone may write, not sticky", [&] { fs::permissions(folder, fs::perms::all); },
       "may be written by other users and is not sticky"},
      {"a link on the way, another user's",
       [&] {
         fs::rename(folder, dir_ / "real");
         fs::create_directory_symlink(dir_ / "real", folder);
         ::lchown(folder.c_str(), kOtherUid, kOtherUid);
       },
       "is a symbolic link that belongs to uid 64123; it is not followed"},
      {"the turn file a link to the victim",
       [&] { fs::create_symlink(victim, folder / "zentrel-line-line.turn"); },
       "zentrel-line-line.turn is a symbolic link; it is not followed"},
      {"the turn file a FIFO", [&] { ::mkfifo((folder / "zentrel-line-line.turn").c_str(), 0666); },
       "zentrel-line-line.turn is a FIFO, not a regular file"},
      {"tickets that are links to the victim",
       [&] {
         for (int n = 1; n <= 3; ++n) {
           const fs::path link = folder / fs::path(Ticket(n)).filename();
           fs::create_symlink(victim, link);
           ::lchown(link.c_str(), kOtherUid, kOtherUid);
         }
       },
       ""},
      {"a ticket that is a FIFO",
       [&] { ::mkfifo((folder / fs::path(Ticket(1)).filename()).c_str(), 0666); }, ""},
  };
  for (const auto& row : rows) {
    fs::remove_all(dir_ / "real");
    fs::remove_all(folder);
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
    std::ofstream(victim) << "precious rows";
    row.lay();
    try {
      LineTicket ticket(folder.string(), "line");
      EXPECT_STREQ(row.refusal, "") << row.name << ": the ticket was taken";
      EXPECT_TRUE(ticket.AwaitTurn(LineTicket::Clock::now() + 1s, nullptr, 1ms)) << row.name;
    } catch (const LineQueueError& e) {
      EXPECT_NE(std::string(e.what()).find(row.refusal), std::string::npos)
          << row.name << ": " << e.what();
      EXPECT_NE(std::string(row.refusal), "") << row.name << ": " << e.what();
    }
    std::ifstream in(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "precious rows") << row.name;
  }
}

TEST_F(LineQueueTest, UnusableFolderIsAnError) {
  std::ofstream(dir_ / "file") << "not a folder";
  EXPECT_THROW(LineTicket((dir_ / "file").string(), "line"), LineQueueError);
}

}  // namespace
}  // namespace zentrel
