// CCommLink on a real tty: a pseudo-terminal whose other end the test plays.
// Blocks are ended by the (shortened) silence, stay within 2048 bytes, keep
// NUL and 0377 bytes, and a hang-up takes the invalid-handle path. Also what
// Attach refuses, and the settings put back by Stop.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "link_test_support.h"
#include "seriallink/comm_link.h"
#include "seriallink/local_heap.h"

namespace zentrel::test {
namespace {

using std::chrono::milliseconds;

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<std::size_t>(n);
  }
}

std::string ReadExactly(int fd, std::size_t count) {
  std::string got;
  char buf[256];
  while (got.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(milliseconds(kGuard).count())) != 1) break;
    const ssize_t n = read(fd, buf, std::min(sizeof buf, count - got.size()));
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

class PtyLinkTest : public ::testing::Test {
 protected:
  PtyLinkTest() : link(view, LinkTimings{milliseconds(30), milliseconds(5000)}) {
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  }
  ~PtyLinkTest() override {
    link.Stop();
    if (!attached) close(slave);
    if (master >= 0) close(master);
  }
  void Attach() {
    ASSERT_EQ(link.Attach(slave), 1);
    attached = true;
  }

  TraceRecorder trace;
  RecordingView view;
  CCommLink link;
  int master = -1;
  int slave = -1;
  bool attached = false;
};

TEST_F(PtyLinkTest, OneBurstIsOneBlock) {
  Attach();
  WriteAll(master, "ID=");
  ASSERT_TRUE(view.WaitBlocks(1));
  EXPECT_EQ(view.Blocks(), std::vector<std::string>{"ID="});
  EXPECT_TRUE(view.AllNulTerminated());
  EXPECT_EQ(view.timer_starts.load(), 1);
}

TEST_F(PtyLinkTest, BurstsAfterASilenceAreSeparateBlocks) {
  Attach();
  WriteAll(master, "AB");
  ASSERT_TRUE(view.WaitBlocks(1));  // delivered: the silence has passed
  WriteAll(master, "CD");
  ASSERT_TRUE(view.WaitBlocks(2));
  EXPECT_EQ(view.Blocks(), (std::vector<std::string>{"AB", "CD"}));
}

TEST_F(PtyLinkTest, LongStreamArrivesInBlocksOfAtMost2048) {
  Attach();
  std::string stream(5000, '\0');
  for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<char>((i * 7) % 256);
  WriteAll(master, stream);
  ASSERT_TRUE(view.WaitBytes(stream.size()));
  std::string joined;
  for (const std::string& b : view.Blocks()) {
    EXPECT_LE(b.size(), 2048u);
    joined += b;
  }
  EXPECT_EQ(joined, stream);  // in order, 0 and 0377 included, nothing lost or repeated
  EXPECT_EQ(view.telephony.calls.load(), 0);
}

TEST_F(PtyLinkTest, NulBytesAreDelivered) {
  Attach();
  WriteAll(master, std::string("A\0B", 3));
  ASSERT_TRUE(view.WaitBlocks(1));
  EXPECT_EQ(view.Blocks(), std::vector<std::string>{std::string("A\0B", 3)});
}

TEST_F(PtyLinkTest, PostedBlocksReachTheOtherEnd) {
  Attach();
  const std::string logon = "\x1bPG1\r";
  char* block = LocalAlloc(logon.size());
  std::memcpy(block, logon.data(), logon.size());
  ASSERT_EQ(link.PostWrite(block, static_cast<std::uint32_t>(logon.size())), 1);
  EXPECT_EQ(ReadExactly(master, logon.size()), logon);
}

TEST_F(PtyLinkTest, HangUpTakesTheInvalidHandlePath) {
  view.telephony.on_uninit = [this] { link.Stop(); };  // as the telephony teardown does
  Attach();
  close(master);
  master = -1;
  ASSERT_TRUE(link.WaitReadThreadEnded(kGuard));
  ASSERT_TRUE(link.WaitWriteThreadEnded(kGuard));
  EXPECT_TRUE(trace.Contains(kInvalidHandleText));
  EXPECT_GE(view.telephony.calls.load(), 1);
  EXPECT_TRUE(trace.Contains("Stopping the Comm\n"));
  EXPECT_FALSE(trace.Contains("Read thread not exiting.  Terminating it.\n"));
  EXPECT_FALSE(link.IsAttached());
}

TEST_F(PtyLinkTest, SecondAttachIsRefusedAndTheFirstGoesOn) {
  Attach();
  int other_master = -1;
  int other_slave = -1;
  ASSERT_EQ(openpty(&other_master, &other_slave, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(link.Attach(other_slave), 0);
  EXPECT_TRUE(trace.Contains("Already have a comm file open\n"));
  close(other_slave);
  close(other_master);
  WriteAll(master, "ID=");
  ASSERT_TRUE(view.WaitBlocks(1));
  EXPECT_EQ(view.Blocks(), std::vector<std::string>{"ID="});
}

TEST_F(PtyLinkTest, StopWhileIdleClosesTheDescriptorLast) {
  Attach();
  // Idle: the read is pending and the thread sits in its wait.
  ASSERT_TRUE(trace.WaitFor("Waiting for data from comm connection.\n"));
  link.Stop();
  EXPECT_TRUE(trace.InOrder({"Stopping the Comm\n", "Closing Read Thread\n",
                             "Read thread shutting down\n"}));
  EXPECT_TRUE(trace.Contains("Write thread shutting down\n"));
  EXPECT_EQ(view.telephony.calls.load(), 0);
  pollfd p{master, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 0), 1);
  EXPECT_TRUE(p.revents & POLLHUP);  // no slave end is open any more
  link.Stop();                       // a second Stop does nothing
  const auto lines = trace.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Stopping the Comm\n"), 1);
}

TEST_F(PtyLinkTest, SettingsChangedByAttachArePutBackByStop) {
  const int spare = dup(slave);  // keeps the tty readable after Stop closes the link's end
  termios before{};
  ASSERT_EQ(tcgetattr(spare, &before), 0);
  before.c_lflag |= ICANON | ECHO;
  before.c_cc[VKILL] = 'q';
  ASSERT_EQ(tcsetattr(spare, TCSANOW, &before), 0);
  ASSERT_EQ(tcgetattr(spare, &before), 0);
  Attach();
  termios during{};
  ASSERT_EQ(tcgetattr(spare, &during), 0);
  EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(during.c_iflag & (INPCK | PARMRK), static_cast<tcflag_t>(INPCK | PARMRK));
  EXPECT_EQ(during.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(during.c_cc[VKILL], 'q');  // untouched settings stay
  link.Stop();
  termios after{};
  ASSERT_EQ(tcgetattr(spare, &after), 0);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
  close(spare);
}

TEST(CommHandleCheck, OnlyTtysAndConnectedStreamSocketsAreTaken) {
  struct Row {
    const char* name;
    int fd;
    int other;
    int expected;
  };
  std::FILE* file = std::tmpfile();
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  const std::vector<Row> rows{
      {"regular file", fileno(file), -1, 0},
      {"pipe", pipe_ends[0], pipe_ends[1], 0},
      {"/dev/null", open("/dev/null", O_RDWR), -1, 0},
      {"connected stream socket", sockets[0], sockets[1], 1},
  };
  for (const Row& row : rows) {
    TraceRecorder trace;
    RecordingView view;
    CCommLink link(view, LinkTimings{milliseconds(30), milliseconds(5000)});
    EXPECT_EQ(link.Attach(row.fd), row.expected) << row.name;
    if (row.expected == 0) {
      EXPECT_EQ(trace.Lines(), std::vector<std::string>{"File handle is not a comm handle.\n"})
          << row.name;
      EXPECT_EQ(link.ReadThreadId(), 0u) << row.name;
      EXPECT_NE(fcntl(row.fd, F_GETFD), -1) << row.name << ": the caller still owns it";
    } else {
      WriteAll(row.other, "ID=");
      ASSERT_TRUE(view.WaitBlocks(1)) << row.name;
      EXPECT_EQ(view.Blocks(), std::vector<std::string>{"ID="}) << row.name;
      link.Stop();
    }
    if (row.other >= 0) close(row.other);
  }
  std::fclose(file);
  close(pipe_ends[0]);
  close(rows[2].fd);
}

}  // namespace
}  // namespace zentrel::test
