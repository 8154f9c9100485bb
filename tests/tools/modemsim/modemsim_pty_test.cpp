// The real zentrel-modemsim on a real pseudo-terminal: the test dials it
// through its --link as a client would, talks to it, watches it hang up and
// reads the events it logged. Every wait is poll() on the event with a
// generous bound, never a fixed sleep.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kBoundMs = 10000;  // only a safety net; nothing waits this long
const std::string kLogonReply = "110 1.8\r\x06\r\x1b[p\r";
// Logged events, as ModemSim::Events gives them.
const std::string kReady = R"({"event":"ready"})";
const std::string kCall1 = R"({"event":"call","number":"1"})";
const std::string kTerminalHangup = R"({"by":"terminal","event":"hangup"})";

// Reads `fd` until `want` has appeared (or the end); returns all that was read.
std::string ReadUntil(int fd, const std::string& want) {
  std::string got;
  while (got.find(want) == std::string::npos) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, kBoundMs) <= 0) break;
    char buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

class ModemSim {
 public:
  explicit ModemSim(std::vector<std::string> args) {
    char templ[] = "/tmp/modemsim-test-XXXXXX";
    dir_ = ::mkdtemp(templ);
    args.insert(args.begin(), {ZENTREL_MODEMSIM_PATH, "--link", link(), "--log", log(),
                               "--connect-delay-ms", "10"});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);  // dup2 leaves the child's stdout open
    pid_ = ::fork();
    if (pid_ == 0) {  // the child: stdout into the pipe, then the program
      ::dup2(out[1], 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~ModemSim() {
    if (pid_ > 0) Exit(SIGTERM);
    ::close(stdout_);
    ::unlink(log().c_str());
    ::rmdir(dir_.c_str());
  }

  // The device of the next "ready /dev/pts/N" line.
  std::string NextReady() {
    const std::string line = ReadUntil(stdout_, "\n");
    return line.rfind("ready ", 0) == 0 ? line.substr(6, line.size() - 7) : "";
  }

  // Sends `signal` (0: none), waits for the process to end, returns its status.
  int Exit(int signal = 0) {
    if (signal != 0) ::kill(pid_, signal);
    ReadUntil(stdout_, std::string(1, '\0'));  // returns at end of file
    int status = -1;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

  // The logged events but the bytes each way, as JSON without their times.
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    std::ifstream in(log());
    for (std::string line; std::getline(in, line);) {
      auto event = nlohmann::json::parse(line);
      event.erase("ms");
      event.erase("slave");
      if (event["event"] != "rx" && event["event"] != "tx") events.push_back(event.dump());
    }
    return events;
  }

  std::string link() const { return dir_ + "/modem"; }
  std::string log() const { return dir_ + "/log.jsonl"; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int stdout_ = -1;
};

int OpenRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

void Send(int fd, const std::string& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// The client's side of a hang-up: POLLHUP, then reads that end.
bool SeesHangup(int fd) {
  pollfd pfd{fd, POLLIN, 0};
  if (::poll(&pfd, 1, kBoundMs) != 1 || !(pfd.revents & POLLHUP)) return false;
  char byte;
  const ssize_t n = ::read(fd, &byte, 1);
  return n == 0 || (n < 0 && errno == EIO);
}

// One call each, ended one way or another; with --once the program then
// exits by itself and removes its link.
TEST(ModemSimProgram, CallsEndWithAHangupAndAreLogged) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> exchange;  // send, answer
    std::vector<std::string> events;
  };
  const Row rows[] = {
      {"page accepted",
       {},
       {{"AT\r", "AT\r\r\nOK\r\n"},
        {"ATE0\r", "ATE0\r\r\nOK\r\n"},
        {"atdp 555-1234 \r", "\r\nCONNECT 300\r\n"},
        {"\r", "ID="},
        {"\x1bPG1\r", kLogonReply},
        {std::string("\x02"
                     "1234567\rCall home\r\x03") +
             "4=0\r",
         "211 Page accepted\r\x06\r"},
        {"\x04\r", "115 Goodbye\r\x1b\x04\r\r\nNO CARRIER\r\n"}},
       {kReady, R"({"event":"call","number":"555-1234"})",
        R"({"checksum":"4=0","end":"ETX","event":"block","message":"Call home","pin":"1234567","valid":true})",
        kTerminalHangup}},
      {"busy line",
       {"--scenario", "busy"},
       {{"ATE0DT1\r", "ATE0DT1\r\r\nBUSY\r\n"}},
       {kReady, kCall1}},
      {"terminal hangs up after log-on",
       {"--scenario", "hangup-after-logon"},
       {{"ATE0DT1\r", "ATE0DT1\r\r\nCONNECT 300\r\n"},
        {"\r", "ID="},
        {"\x1bPG1\r", kLogonReply + "\r\nNO CARRIER\r\n"}},
       {kReady, kCall1, kTerminalHangup}},
      {"idle terminal",
       {"--idle-timeout-ms", "50"},
       {{"ATE0DT1\r", "ATE0DT1\r\r\nCONNECT 300\r\n"},
        {"\r", "ID="},
        {"\x1bPG1\r", kLogonReply},
        {"", "\x1b\x04\r\r\nNO CARRIER\r\n"}},
       {kReady, kCall1, kTerminalHangup}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> args = row.args;
    args.push_back("--once");
    ModemSim sim(args);
    ASSERT_FALSE(sim.NextReady().empty());
    const int fd = OpenRaw(sim.link());
    ASSERT_GE(fd, 0);
    for (const auto& [send, answer] : row.exchange) {
      if (!send.empty()) Send(fd, send);
      EXPECT_EQ(ReadUntil(fd, answer), answer) << "after sending " << send.size() << " bytes";
    }
    EXPECT_TRUE(SeesHangup(fd));
    ::close(fd);
    const int status = sim.Exit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(std::filesystem::is_symlink(sim.link()));
    EXPECT_EQ(sim.Events(), row.events);
  }
}

TEST(ModemSimProgram, FreshPortAfterClientLeavesAndCleanExitOnTerm) {
  ModemSim sim({});
  ASSERT_FALSE(sim.NextReady().empty());
  int fd = OpenRaw(sim.link());
  ASSERT_GE(fd, 0);
  Send(fd, "ATE0DT1\r");
  ReadUntil(fd, "CONNECT 300\r\n");
  ::close(fd);  // the client hangs up mid-call

  const std::string second = sim.NextReady();
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(std::filesystem::read_symlink(sim.link()), second);
  fd = OpenRaw(sim.link());
  ASSERT_GE(fd, 0);
  Send(fd, "AT\r");  // echo is on again: a new modem, no stale bytes
  EXPECT_EQ(ReadUntil(fd, "OK\r\n"), "AT\r\r\nOK\r\n");
  ::close(fd);

  const int status = sim.Exit(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(std::filesystem::is_symlink(sim.link()));
  // The second client's close may or may not have brought up a third port
  // before the SIGTERM arrived.
  std::vector<std::string> events = sim.Events();
  if (events.size() == 5 && events.back() == kReady) events.pop_back();
  EXPECT_EQ(events, (std::vector<std::string>{kReady, kCall1, R"({"by":"client","event":"hangup"})",
                                              kReady}));
}

}  // namespace
