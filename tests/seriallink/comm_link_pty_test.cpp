// CCommLink on a real tty: a pseudo-terminal whose other end the test plays.
// Blocks are ended by the silence (the real 250 ms where pauses are the
// point, a short one elsewhere), stay within 2048 bytes, keep NUL and 0377
// bytes, and a hang-up takes the invalid-handle path. Also what Attach
// refuses, and the settings put back by Stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "link_test_support.h"
#include "seriallink/comm_link.h"
#include "seriallink/handover.h"
#include "seriallink/local_heap.h"

namespace zentrel::test {
namespace {

using std::chrono::milliseconds;

void WriteAll(int fd, const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<std::size_t>(n);
  }
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
  void Attach(const CommHandover& with = {}) {
    ASSERT_EQ(link.Attach(slave, with), 1);
    attached = true;
  }

  TraceRecorder trace;
  RecordingView view;
  CCommLink link;
  int master = -1;
  int slave = -1;
  bool attached = false;
};

TEST_F(PtyLinkTest, PostedBlocksGoOutAndASecondAttachIsRefused) {
  Attach();
  EXPECT_EQ(link.Attach(slave), 0);  // a second Attach is refused; the first goes on
  EXPECT_TRUE(trace.Contains("Already have a comm file open\n"));
  EXPECT_EQ(view.link_ups.load(), 1);

  const std::string logon = "\x1bPG1\r";
  char* block = LocalAlloc(logon.size());
  std::memcpy(block, logon.data(), logon.size());
  ASSERT_EQ(link.PostWrite(block, static_cast<std::uint32_t>(logon.size())), 1);
  std::string got(logon.size(), '\0');
  for (std::size_t n = 0; n < got.size();) {
    pollfd p{master, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, static_cast<int>(milliseconds(kGuard).count())), 1);
    const ssize_t r = read(master, got.data() + n, got.size() - n);
    ASSERT_GT(r, 0);
    n += static_cast<std::size_t>(r);
  }
  EXPECT_EQ(got, logon);
}

// A reply written piece by piece, each piece followed by a pause, to a link
// with the real timings on a fresh pseudo-terminal.
struct Piece {
  std::string bytes;
  milliseconds pause_after;
};
struct PacedRun {
  std::vector<std::string> blocks;
  std::vector<milliseconds> pauses;  // as the writer made them
};

PacedRun WritePaced(const std::vector<Piece>& pieces) {
  using Clock = std::chrono::steady_clock;
  int master = -1;
  int slave = -1;
  EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  TraceRecorder trace;
  RecordingView view;
  CCommLink link(view);  // the default timings are what is under test
  PacedRun run;
  std::size_t total = 0;
  if (link.Attach(slave) != 1) {
    ADD_FAILURE() << "the pseudo-terminal was refused";
    close(slave);
  } else if (trace.WaitFor("Waiting for data from comm connection.\n")) {
    Clock::time_point last{};
    for (const Piece& piece : pieces) {
      const Clock::time_point now = Clock::now();
      if (last != Clock::time_point{}) {
        run.pauses.push_back(std::chrono::duration_cast<milliseconds>(now - last));
      }
      WriteAll(master, piece.bytes);
      total += piece.bytes.size();
      last = Clock::now();
      // The pause is the stimulus here, not a wait for something.
      std::this_thread::sleep_until(last + piece.pause_after);
    }
    EXPECT_TRUE(view.WaitBytes(total));
  }
  EXPECT_TRUE(view.AllNulTerminated());
  link.Stop();
  close(master);
  run.blocks = view.Blocks();
  return run;
}

std::string Describe(const PacedRun& run) {
  std::string text = "blocks:";
  for (const std::string& b : run.blocks) {
    text += " [";
    for (char c : b) text += c == '\0' ? std::string("<NUL>") : std::string(1, c);
    text += "]";
  }
  text += " pauses (ms):";
  for (milliseconds p : run.pauses) text += " " + std::to_string(p.count());
  return text + "\n";
}

// The 250 ms silence decides what one block is: a terminal that writes "ID"
// and "=" apart on a slow line is still one answer, and a longer pause starts
// the next. A loaded machine can stretch a pause past the silence, so a run
// may be repeated; a wrong silence fails every run.
TEST(PtyLinkDefaultTimings, PausesShorterThanTheSilenceStayInOneBlockLongerOnesSplit) {
  const std::vector<Piece> reply = {{"I", milliseconds(180)},
                                    {"D", milliseconds(180)},
                                    {"=", milliseconds(400)},
                                    {std::string("A\0B", 3), milliseconds(0)}};
  const std::vector<std::string> expected = {"ID=", std::string("A\0B", 3)};
  std::string runs;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const PacedRun run = WritePaced(reply);
    if (run.blocks == expected) return;
    runs += Describe(run);
  }
  ADD_FAILURE() << "expected blocks [ID=] [A<NUL>B]; every run differed:\n" << runs;
}

// A view that frames the answers itself gets each read as soon as its bytes
// are in: with a silence far longer than the test's guard, a reply still
// arrives, and two replies written apart stay apart.
class FramingView : public RecordingView {
 public:
  bool FramesAnswers() const override { return true; }
};

TEST(PtyLinkFramingView, EachReadIsHandedOverWithoutWaitingForTheSilence) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  TraceRecorder trace;
  FramingView view;
  CCommLink link(view, LinkTimings{std::chrono::hours(1), milliseconds(5000)});
  ASSERT_EQ(link.Attach(slave), 1);
  WriteAll(master, "211 Page accepted\r\x06\r");
  EXPECT_TRUE(view.WaitBytes(20));
  WriteAll(master, "\x1b[p\r");
  EXPECT_TRUE(view.WaitBytes(24));
  const std::vector<std::string> blocks = view.Blocks();
  ASSERT_GE(blocks.size(), 2u);
  EXPECT_EQ(blocks.back(), "\x1b[p\r");  // the second answer is a read of its own
  link.Stop();
  close(master);
}

TEST_F(PtyLinkTest, LongStreamArrivesInBlocksOfAtMost2048) {
  Attach(Handover(
      LineFormat{.speed = 9600, .data_bits = 8, .parity = 'N'}));  // 8 bits: 0377 stays 0377
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
  EXPECT_EQ(view.failure_reports.load(), 0);
}

TEST_F(PtyLinkTest, HangUpTakesTheInvalidHandlePath) {
  view.on_uninit = [this] { link.Stop(); };  // as the telephony teardown does
  Attach();
  close(master);
  master = -1;
  ASSERT_TRUE(link.WaitReadThreadEnded(kGuard));
  ASSERT_TRUE(link.WaitWriteThreadEnded(kGuard));
  EXPECT_TRUE(trace.Contains(kInvalidHandleText));
  EXPECT_GE(view.failure_reports.load(), 1);
  EXPECT_TRUE(trace.Contains("Stopping the Comm\n"));
  EXPECT_FALSE(trace.Contains("Read thread not exiting.  Terminating it.\n"));
  EXPECT_FALSE(link.IsAttached());
}

TEST_F(PtyLinkTest, StopWhileIdleEndsBothThreadsAndClosesTheDescriptor) {
  Attach();
  // Idle: the read is pending and the thread sits in its wait.
  ASSERT_TRUE(trace.WaitFor("Waiting for data from comm connection.\n"));
  link.Stop();
  EXPECT_TRUE(trace.InOrder(
      {"Stopping the Comm\n", "Closing Read Thread\n", "Read thread shutting down\n"}));
  EXPECT_TRUE(trace.Contains("Write thread shutting down\n"));
  EXPECT_FALSE(trace.Contains("Read thread not exiting.  Terminating it.\n"));
  EXPECT_EQ(view.failure_reports.load(), 0);
  EXPECT_FALSE(link.IsAttached());
  EXPECT_EQ(link.ReadThreadId() + link.WriteThreadId(), 0u);
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
  std::FILE* file = std::tmpfile();
  int pipe_ends[2];
  int sockets[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  const int null = open("/dev/null", O_RDWR);
  const std::vector<std::pair<const char*, int>> refused{
      {"regular file", fileno(file)}, {"pipe", pipe_ends[0]}, {"/dev/null", null}};
  for (const auto& [name, fd] : refused) {
    TraceRecorder trace;
    RecordingView view;
    CCommLink link(view);
    EXPECT_EQ(link.Attach(fd), 0) << name;
    EXPECT_EQ(trace.Lines(), std::vector<std::string>{"File handle is not a comm handle.\n"})
        << name;
    EXPECT_EQ(link.ReadThreadId(), 0u) << name;
    EXPECT_NE(fcntl(fd, F_GETFD), -1) << name << ": the caller still owns it";
  }
  RecordingView view;
  CCommLink link(view, LinkTimings{milliseconds(30), milliseconds(5000)});
  ASSERT_EQ(link.Attach(sockets[0]), 1);  // a connected stream socket is taken
  WriteAll(sockets[1], "ID=");
  ASSERT_TRUE(view.WaitBlocks(1));
  EXPECT_EQ(view.Blocks(), std::vector<std::string>{"ID="});
  link.Stop();
  for (int fd : {sockets[1], pipe_ends[0], pipe_ends[1], null}) close(fd);
  std::fclose(file);
}

}  // namespace
}  // namespace zentrel::test
