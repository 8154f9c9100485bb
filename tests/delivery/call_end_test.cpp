// Why a call ended, as the call runner hands it to every sender: a kind and
// the words, through the real line driver, telephony object and link. The
// test plays the modem on a pseudo-terminal (each answer to the dial) or is
// the gateway's socket (silent, or refusing). The kind comes from the line
// layer's own states and problems: rows whose words name no kind ("Unreachable"
// for no carrier, a refused connection's sentence) still get theirs.
#include "delivery/call_end.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "delivery/call_runner.h"
#include "delivery/console_view.h"
#include "delivery/ui_loop.h"
#include "telephony/configured_line_driver.h"
#include "telephony/line_service.h"
#include "telephony/telephony.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The far end of a pty as a modem: OK to every command, `dial_answer` to the
// dial. Ends when the test says so (a pipe wakes it).
class PtyModem {
 public:
  explicit PtyModem(std::string dial_answer) : answer_(std::move(dial_answer)) {
    // The slave stays open here too, so that the master never reads as hung
    // up between the driver's opens of the port.
    EXPECT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    port_ = ::ttyname(slave_);
    EXPECT_EQ(::pipe2(stop_, O_CLOEXEC), 0);
    thread_ = std::thread([this] { Serve(); });
  }
  ~PtyModem() {
    (void)!::write(stop_[1], "x", 1);
    thread_.join();
    for (int fd : {master_, slave_, stop_[0], stop_[1]}) ::close(fd);
  }
  const std::string& port() const { return port_; }

 private:
  void Serve() {
    std::string command;
    for (;;) {
      pollfd fds[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) return;
      char c = 0;
      if (fds[0].revents == 0) continue;
      if (::read(master_, &c, 1) != 1) return;
      if (c != '\r') {
        command.push_back(c);
        continue;
      }
      const std::string said = command.rfind("ATDT", 0) == 0 ? answer_ : "OK";
      command.clear();
      const std::string line = "\r\n" + said + "\r\n";
      (void)!::write(master_, line.data(), line.size());
    }
  }

  std::string answer_;
  std::string port_;
  int master_ = -1;
  int slave_ = -1;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

// A loopback TCP port: listening (and never answering) or closed.
class TcpPort {
 public:
  explicit TcpPort(bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t size = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &size);
    port_ = ntohs(addr.sin_port);
    if (listening) {
      EXPECT_EQ(::listen(fd_, 4), 0);
    } else {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~TcpPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  std::string Line() const { return "tcp 127.0.0.1:" + std::to_string(port_) + "\n"; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class CallEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zt_call_end_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "locks");
  }
  void TearDown() override {
    SetLineDriver(nullptr);
    fs::remove_all(dir_);
  }
  void UseLines(const std::string& text) {
    const std::string path = (dir_ / "lines.conf").string();
    std::ofstream(path) << text;
    LineSettings settings;
    settings.modem = {.command_timeout = 5s,
                      .dial_timeout = 10s,
                      .escape_guard = 5ms,
                      .dtr_hold = 5ms,
                      .hangup_wait = 20ms,
                      .watch_interval = 50ms,
                      .line_end_grace = 100ms,
                      .after_init = 1ms};
    settings.tty.lock_folder = (dir_ / "locks").string();
    SetLineDriver(std::make_shared<ConfiguredLineDriver>([path] { return path; }, settings));
  }
  // One call of a page through the call runner, as zentrel-send places it.
  CallEnd Place(int timeout_seconds = 20, bool trace = false) {
    SendOptions options;
    options.timeout_seconds = timeout_seconds;
    options.trace = trace;
    UiLoop loop;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ConsoleView view(loop, "1001", "Pump 3 down", out);
    const CallEnd end =
        PlaceCall(options, {"1001", "Pump 3 down", "5551234"}, loop,
                  {view, [&view](ILinkTelephony* t) { view.m_pTapi = t; }, nullptr}, err);
    std::fclose(out);
    std::rewind(err);
    said_.clear();
    for (int c = std::fgetc(err); c != EOF; c = std::fgetc(err))
      said_.push_back(static_cast<char>(c));
    std::fclose(err);
    return end;
  }

  fs::path dir_;
  std::string said_;  // what the call said on standard error
};

TEST_F(CallEndTest, EachAnswerToTheDialIsItsKind) {
  struct Row {
    const char* answer;
    Reason kind;
    const char* words;
  };
  const Row rows[] = {
      {"BUSY", Reason::kBusy, "the line is busy"},
      {"NO ANSWER", Reason::kNoAnswer, "No Answer"},
      {"NO CARRIER", Reason::kNoCarrier, "Unreachable"},
      {"NO DIALTONE", Reason::kNoDialTone, "No Dial Tone"},
      {"7", Reason::kBusy, "the line is busy"},  // numeric result codes say the same
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.answer);
    PtyModem modem(row.answer);
    UseLines("modem " + modem.port() + "\n");
    const CallEnd end = Place(20, true);
    EXPECT_EQ(end.kind, row.kind) << said_;
    EXPECT_EQ(end.reason, row.words);
    EXPECT_FALSE(end.connected);
    EXPECT_FALSE(end.line_in_use);
    EXPECT_FALSE(end.timed_out);
  }
}

// A line that cannot carry the call is unusable, with the problem's own kind
// and the system's words kept beside the sentence.
TEST_F(CallEndTest, AnUnusableLineKeepsItsProblemKindAndTheSystemsWords) {
  const TcpPort closed(false);
  struct Row {
    const char* name;
    std::string lines;
    LineProblemKind problem;
    std::string system;
  };
  const Row rows[] = {
      {"port missing", "modem " + (dir_ / "no-such-tty").string() + "\n",
       LineProblemKind::kMissingPort, std::strerror(ENOENT)},
      {"gateway refuses", closed.Line(), LineProblemKind::kRefused, std::strerror(ECONNREFUSED)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UseLines(row.lines);
    const CallEnd end = Place();
    EXPECT_EQ(end.kind, Reason::kLineUnusable);
    EXPECT_EQ(end.unusable.kind, row.problem);
    EXPECT_EQ(end.unusable.system, row.system);
    EXPECT_FALSE(end.line_in_use);
  }
}

// A gateway that takes the connection and never answers: the call is ended
// at the time-out, and says so.
TEST_F(CallEndTest, ASilentGatewayEndsAtTheTimeOut) {
  const TcpPort silent(true);
  UseLines(silent.Line());
  const CallEnd end = Place(1);
  EXPECT_EQ(end.kind, Reason::kTimeOut);
  EXPECT_TRUE(end.timed_out);
  EXPECT_TRUE(end.connected);
}

// A network line whose connection for the call fails (the check's was not
// there to take): the telephony object is told the line's own problem, not
// a carrier lost, and the call's end is the line unusable.
TEST_F(CallEndTest, ANetworkLineThatFailsForItsCallIsUnusableWithItsProblem) {
  const TcpPort closed(false);
  UseLines(closed.Line());
  PumpedQueue queue;
  CTelephony tapi(nullptr, {&queue, {}});
  HLINEAPP app = 0;
  DWORD count = 0;
  ASSERT_EQ(lineInitialize(&app, nullptr, lineCallbackFunc, "test", &count, &queue), 0);
  HLINE line = 0;
  ASSERT_EQ(lineOpen(app, 0, &line, 0x10004, 0, 0, LINECALLPRIVILEGE_NONE, 0, nullptr), 0);
  tapi.m_hLineApp = app;
  tapi.m_hLine = line;
  tapi.m_bCallInProgress = 1;
  HCALL call = 0;
  ASSERT_GT(lineMakeCall(line, &call, "", 0, nullptr), 0);
  tapi.m_hCall = call;
  while (tapi.EndReason().kind == CallEndKind::kNone) ASSERT_TRUE(queue.RunOne(10s));
  const CallEndReason told = tapi.EndReason();
  EXPECT_EQ(told.kind, CallEndKind::kLineFailed);
  EXPECT_EQ(told.problem.kind, LineProblemKind::kRefused);
  EXPECT_EQ(told.problem.system, std::strerror(ECONNREFUSED));
  EXPECT_EQ(told.words, told.problem.Text());
  EXPECT_EQ(EndKind(tapi), Reason::kLineUnusable);
  const CallEndCause cause = EndCause(tapi, {});
  EXPECT_EQ(cause.kind, Reason::kLineUnusable);
  EXPECT_EQ(cause.words, told.words);
  tapi.UninitTelephony();
  queue.RunPending();
}

}  // namespace
}  // namespace zentrel
