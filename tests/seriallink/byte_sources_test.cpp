// The link over each kind of byte source the drivers hand over: a tty with
// its line's format (bit 7 cleared on 7 data bits, in only), a port that
// refuses its format, a socket whose peer goes away (no SIGPIPE, the
// invalid-handle path), and the traffic watcher that sees both directions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "link_test_support.h"
#include "seriallink/comm_link.h"
#include "seriallink/handover.h"
#include "seriallink/local_heap.h"

namespace zentrel::test {
namespace {

using std::chrono::milliseconds;
const LinkTimings kShort{milliseconds(30), milliseconds(5000)};

void Put(int fd, const std::string& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::string Take(int fd, std::size_t n) {
  std::string got;
  while (got.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(milliseconds(kGuard).count())) != 1) break;
    char buf[256];
    const ssize_t r = read(fd, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.append(buf, static_cast<std::size_t>(r));
  }
  return got;
}

int Post(CCommLink& link, const std::string& bytes) {
  char* block = LocalAlloc(static_cast<std::uint32_t>(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  const int posted = link.PostWrite(block, static_cast<std::uint32_t>(bytes.size()));
  if (posted == 0) LocalFree(block);
  return posted;
}

class Watcher : public ITrafficWatcher {
 public:
  void Sent(std::string_view b) override {
    std::lock_guard lock(mutex_);
    sent_ += b;
    cv_.notify_all();
  }
  void Received(std::string_view b) override {
    std::lock_guard lock(mutex_);
    received_ += b;
  }
  std::string sent(std::size_t at_least) const {  // once that much went out
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, kGuard, [&] { return sent_.size() >= at_least; });
    return sent_;
  }
  std::string received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::string sent_, received_;
};

TEST(TtySource, SevenDataBitsClearBitSevenOfWhatArrivesOnly) {
  struct Row {
    const char* name;
    std::optional<LineFormat> format;  // none: a modem line
    std::string expected;
  };
  const std::string arriving = "\xC9\xC4\xBD\x8D";  // "ID=" CR with bit 7 set
  const Row rows[] = {
      {"modem line (7E1)", std::nullopt, "ID=\r"},
      {"direct 1200 7E1", LineFormat{.speed = 1200}, "ID=\r"},
      {"direct 9600 8N1", LineFormat{.speed = 9600, .data_bits = 8, .parity = 'N'}, arriving},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    RecordingView view;
    CCommLink link(view, kShort);
    ASSERT_EQ(link.Attach(slave, row.format ? Handover(*row.format) : CommHandover{}), 1);
    Put(master, arriving);
    ASSERT_TRUE(view.WaitBlocks(1));
    EXPECT_EQ(view.Blocks(), std::vector<std::string>{row.expected});
    ASSERT_EQ(Post(link, "\xC9"), 1);
    EXPECT_EQ(Take(master, 1), "\xC9");  // sent unchanged
    link.Stop();
    close(master);
  }
}

// What the port holds while the link has it, and after: a pty keeps the
// speed, stop bits and input flags (it forces 8 bits, no parity).
TEST(TtySource, PortHoldsTheLinesFormatThenWhatItHadBefore) {
  struct Row {
    const char* name;
    LineFormat format;
    speed_t speed;
    bool two_stop_bits;
    bool xon_xoff;
  };
  const Row rows[] = {
      {"300 7E1", LineFormat{}, B300, false, false},
      {"9600 8N2 xonxoff",
       LineFormat{.speed = 9600,
                  .data_bits = 8,
                  .parity = 'N',
                  .stop_bits = 2,
                  .flow = LineFormat::Flow::kXonXoff},
       B9600, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    before.c_iflag |= IGNPAR | IXANY | IXOFF;  // left by an earlier program
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
    const int peek = dup(slave);  // the link closes its own when it stops
    RecordingView view;
    CCommLink link(view, kShort);
    ASSERT_EQ(link.Attach(slave, Handover(row.format)), 1);
    termios held{};
    ASSERT_EQ(tcgetattr(slave, &held), 0);
    EXPECT_EQ(cfgetospeed(&held), row.speed);
    EXPECT_EQ((held.c_cflag & CSTOPB) != 0, row.two_stop_bits);
    EXPECT_EQ(held.c_iflag & (INPCK | PARMRK), static_cast<tcflag_t>(INPCK | PARMRK));
    EXPECT_EQ((held.c_iflag & IXON) != 0, row.xon_xoff);
    EXPECT_EQ((held.c_iflag & IXOFF) != 0, row.xon_xoff);
    EXPECT_EQ(held.c_iflag & (IGNPAR | IXANY | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(held.c_lflag & (ICANON | ECHO | ISIG), 0u);
    link.Stop();
    termios after{};
    ASSERT_EQ(tcgetattr(peek, &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag) << "the settings found are put back";
    close(peek);
    close(master);
  }
}

TEST(TtySource, PortThatRefusesItsFormatIsNotTaken) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  TraceRecorder trace;
  RecordingView view;
  CCommLink link(view, kShort);
  EXPECT_EQ(link.Attach(slave, Handover(LineFormat{.speed = 12345})), 0);
  EXPECT_TRUE(trace.Contains("Attach: cannot set up the port: unsupported speed 12345\n"));
  EXPECT_FALSE(link.IsAttached());
  EXPECT_EQ(view.link_ups.load(), 0);
  EXPECT_NE(fcntl(slave, F_GETFD), -1) << "the caller still owns it";
  close(slave);
  close(master);
}

TEST(SocketSource, PeerThatLeavesEndsTheLinkWithoutKillingTheProgram) {
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  auto watcher = std::make_shared<Watcher>();
  TraceRecorder trace;
  RecordingView view;
  CCommLink link(view, kShort);
  ASSERT_EQ(link.Attach(sockets[0], Handover(LineFormat{}, watcher)), 1);
  Put(sockets[1],
      "\xC9"
      "D=");  // no line format on a socket: bytes as they come
  ASSERT_TRUE(view.WaitBlocks(1));
  EXPECT_EQ(view.Blocks(), std::vector<std::string>{"\xC9"
                                                    "D="});
  ASSERT_EQ(Post(link, "\x1bPG1\r"), 1);
  EXPECT_EQ(Take(sockets[1], 5), "\x1bPG1\r");
  EXPECT_EQ(watcher->received(),
            "\xC9"
            "D=");
  EXPECT_EQ(watcher->sent(5), "\x1bPG1\r");

  close(sockets[1]);  // the server goes away
  ASSERT_TRUE(link.WaitReadThreadEnded(kGuard));
  EXPECT_TRUE(trace.Contains(kInvalidHandleText));
  EXPECT_GE(view.failure_reports.load(), 1);
  // A block for a peer that has gone fails as a write, not as a signal.
  if (Post(link, "\x04\r") == 1) {
    EXPECT_TRUE(link.WaitWriteThreadEnded(kGuard));
  }
  link.Stop();
  EXPECT_FALSE(link.IsAttached());
}

}  // namespace
}  // namespace zentrel::test
