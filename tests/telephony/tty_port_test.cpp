// The tty port and its UUCP lock on real files and pseudo-terminals: why an
// open fails (missing, file, folder, not a tty, held), the lock file's form
// and its removal, a stale lock taken over, one lock for two names of a port,
// and the format applied and the port's own settings restored on close.
#include "seriallink/tty_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zentrel {
namespace {

namespace fs = std::filesystem;

class TtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zt_tty_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "locks");
    options_.lock_folder = (dir_ / "locks").string();
    int slave = -1;
    ASSERT_EQ(::openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
    pty_ = ::ttyname(slave);
    slave_ = slave;  // kept open so the pty lives
  }
  void TearDown() override {
    ::close(slave_);
    ::close(master_);
    fs::remove_all(dir_);
  }
  std::string LockText(const std::string& port) {
    std::ifstream in(LockPathFor(port, options_.lock_folder));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
  TtyPortOptions options_;
  int master_ = -1;
  int slave_ = -1;
  std::string pty_;
};

TEST_F(TtyPortTest, OpenFailuresNameTheCause) {
  std::ofstream(dir_ / "file") << "x";
  struct Row {
    std::string path;
    TtyOpenError::Kind kind;
    std::string text;
  };
  const Row rows[] = {
      {(dir_ / "none").string(), TtyOpenError::Kind::kMissing,
       "there is no port " + (dir_ / "none").string()},
      {(dir_ / "file").string(), TtyOpenError::Kind::kNotTty,
       (dir_ / "file").string() + " is a file, not a serial port"},
      {dir_.string(), TtyOpenError::Kind::kNotTty,
       dir_.string() + " is a folder, not a serial port"},
      {"/dev/null", TtyOpenError::Kind::kNotTty, "/dev/null is not a serial port"},
      // ttys, but an open of either makes no line: a fresh pty master, the caller's terminal
      {"/dev/ptmx", TtyOpenError::Kind::kNotTty, "/dev/ptmx is not a serial port"},
      {"/dev/tty", TtyOpenError::Kind::kNotTty, "/dev/tty is not a serial port"},
  };
  for (const Row& row : rows) {
    TtyOpenError error;
    EXPECT_EQ(TtyPort::Open(row.path, {}, options_, &error), nullptr) << row.path;
    EXPECT_EQ(error.kind, row.kind) << row.path;
    EXPECT_EQ(error.text, row.text) << row.path;
  }
}

TEST_F(TtyPortTest, LockIsHeldWhileOpenAndGoneAfter) {
  TtyOpenError error;
  auto port = TtyPort::Open(pty_, {}, options_, &error);
  ASSERT_NE(port, nullptr) << error.text;
  char expected[16];
  std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(::getpid()));
  EXPECT_EQ(LockText(pty_), expected);
  EXPECT_EQ(fcntl(port->fd(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);

  // Another name of the same port (a symlink) shares the lock.
  const fs::path link = dir_ / "modem";
  fs::create_symlink(pty_, link);
  EXPECT_EQ(LockPathFor(link.string(), options_.lock_folder),
            LockPathFor(pty_, options_.lock_folder));
  port.reset();
  EXPECT_FALSE(fs::exists(LockPathFor(pty_, options_.lock_folder)));
}

TEST_F(TtyPortTest, LiveHolderRefusesAndStaleLockIsTakenOver) {
  const std::string lock = LockPathFor(pty_, options_.lock_folder);
  // A live holder: a child that waits until told to go.
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[1]);
    char c;
    (void)!::read(pipe_fds[0], &c, 1);
    ::_exit(0);
  }
  std::ofstream(lock) << std::string(10 - std::to_string(child).size(), ' ') << child << "\n";
  TtyOpenError error;
  EXPECT_EQ(TtyPort::Open(pty_, {}, options_, &error), nullptr);
  EXPECT_EQ(error.kind, TtyOpenError::Kind::kHeld);
  EXPECT_EQ(error.holder.pid, child);
  EXPECT_EQ(error.text.find(pty_ + " is in use by process " + std::to_string(child)), 0u)
      << error.text;
  LockHolder holder;
  EXPECT_TRUE(FindLockHolder(pty_, options_.lock_folder, &holder));

  ::close(pipe_fds[1]);  // the holder ends without removing its lock
  ::waitpid(child, nullptr, 0);
  ::close(pipe_fds[0]);
  EXPECT_FALSE(FindLockHolder(pty_, options_.lock_folder, &holder));
  auto port = TtyPort::Open(pty_, {}, options_, &error);
  ASSERT_NE(port, nullptr) << error.text;
  EXPECT_EQ(std::stoi(LockText(pty_)), ::getpid());
}

TEST_F(TtyPortTest, FormatAppliedAndSettingsRestored) {
  termios before{};
  ASSERT_EQ(::tcgetattr(slave_, &before), 0);
  struct Row {
    LineFormat format;
    tcflag_t size;
    bool parity, odd, two_stop, rtscts;
    speed_t speed;
  };
  LineFormat odd{.speed = 9600,
                 .data_bits = 8,
                 .parity = 'O',
                 .stop_bits = 2,
                 .flow = LineFormat::Flow::kRtsCts};
  const Row rows[] = {
      {LineFormat{}, CS7, true, false, false, false, B300},
      {LineFormat{.speed = 1200}, CS7, true, false, false, false, B1200},
      {odd, CS8, true, true, true, true, B9600},
  };
  for (const Row& row : rows) {
    const std::string name = row.format.Text();
    termios t = before;
    t.c_cflag |= CLOCAL;
    std::string why;
    ASSERT_TRUE(MakeRawTermios(t, row.format, &why)) << name << ": " << why;
    EXPECT_EQ(t.c_cflag & CSIZE, row.size) << name;
    EXPECT_EQ((t.c_cflag & PARENB) != 0, row.parity) << name;
    EXPECT_EQ((t.c_cflag & PARODD) != 0, row.odd) << name;
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.two_stop) << name;
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, row.rtscts) << name;
    EXPECT_NE(t.c_cflag & CLOCAL, 0u) << name;
    EXPECT_EQ(cfgetospeed(&t), row.speed) << name;

    // On the pty: what it keeps, and the old settings back after close.
    TtyOpenError error;
    auto port = TtyPort::Open(pty_, row.format, options_, &error);
    ASSERT_NE(port, nullptr) << error.text;
    ASSERT_EQ(::tcgetattr(slave_, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), row.speed) << name;
    EXPECT_NE(t.c_cflag & HUPCL, 0u) << name;
    EXPECT_NE(t.c_cflag & CLOCAL, 0u) << name;
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u) << name;
    port.reset();
    termios after{};
    ASSERT_EQ(::tcgetattr(slave_, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag) << name;
    EXPECT_EQ(after.c_lflag, before.c_lflag) << name;
  }
}

// A pty has no modem-control lines; a wait for them still ends on the
// wake-up event and on the port's hang-up.
TEST_F(TtyPortTest, ModemLinesOfAPty) {
  TtyOpenError error;
  auto port = TtyPort::Open(pty_, {}, options_, &error);
  ASSERT_NE(port, nullptr) << error.text;
  IModemLines& lines = port->lines();
  ModemSignals seen;
  EXPECT_FALSE(lines.Present());
  EXPECT_FALSE(lines.Read(&seen));
  EXPECT_FALSE(lines.SetDtr(false));
  EXPECT_EQ(lines.AwaitChange(seen, std::chrono::milliseconds(1), -1), IModemLines::Wait::kTimeout);
  int wake[2];
  ASSERT_EQ(::pipe(wake), 0);
  ASSERT_EQ(::write(wake[1], "x", 1), 1);
  EXPECT_EQ(lines.AwaitChange(seen, std::chrono::seconds(10), wake[0]), IModemLines::Wait::kWoken);
  ::close(wake[0]);
  ::close(wake[1]);
  EXPECT_FALSE(port->AwaitHangUp(std::chrono::milliseconds(0)));
  ::close(master_);
  master_ = ::open("/dev/null", O_RDONLY);  // for TearDown
  EXPECT_EQ(lines.AwaitChange(seen, std::chrono::seconds(10), -1), IModemLines::Wait::kHangUp);
  EXPECT_TRUE(port->AwaitHangUp(std::chrono::milliseconds(0)));
}

// A speed outside the table is refused, never set as some other speed.
TEST_F(TtyPortTest, UnknownSpeedIsRefused) {
  TtyOpenError error;
  EXPECT_EQ(TtyPort::Open(pty_, LineFormat{.speed = 1234}, options_, &error), nullptr);
  EXPECT_EQ(error.kind, TtyOpenError::Kind::kFailed);
  EXPECT_EQ(error.text, "cannot set up " + pty_ + ": unsupported speed 1234");
}

TEST(LineFormat, FrameWords) {
  const std::pair<const char*, const char*> rows[] = {
      {"8N1", "300 8N1"}, {"7e1", "300 7E1"}, {"7O2", "300 7O2"}, {"5N1", "300 5N1"},
      {"9N1", ""},        {"8X1", ""},        {"8N3", ""},        {"8N", ""},
  };
  for (const auto& [word, text] : rows) {
    LineFormat format{.data_bits = 1};
    const bool ok = ParseFrame(word, &format);
    EXPECT_EQ(ok, *text != '\0') << word;
    if (ok) {
      EXPECT_EQ(format.Text(), text) << word;
    }
  }
}

}  // namespace
}  // namespace zentrel
