// The real zentrel-modemsim on a real pseudo-terminal: the test dials it
// through its --link as a client would, pages, and watches it hang up. Every
// wait is poll() on the event with a generous bound, never a fixed sleep.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kBoundMs = 10000;  // only a safety net; nothing waits this long

// Reads `fd` until `want` has appeared; returns all that was read.
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
  explicit ModemSim(std::vector<std::string> extra) {
    char templ[] = "/tmp/modemsim-test-XXXXXX";
    dir_ = ::mkdtemp(templ);
    link_ = dir_ + "/modem";
    log_ = dir_ + "/log.jsonl";
    std::vector<std::string> args{ZENTREL_MODEMSIM_PATH, "--link", link_, "--log", log_,
                                  "--connect-delay-ms", "10"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    EXPECT_EQ(::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~ModemSim() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(stdout_);
    std::remove(log_.c_str());
    ::rmdir(dir_.c_str());
  }

  // The next "ready /dev/pts/N" line's device.
  std::string NextReady() {
    const std::string got = ReadUntil(stdout_, "\n");
    pending_ += got;
    const auto end = pending_.find('\n');
    if (end == std::string::npos) return "";
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line.rfind("ready ", 0) == 0 ? line.substr(6) : "";
  }

  // Waits for the process to end (its stdout closes), returns its status.
  int Exit() {
    ReadUntil(stdout_, std::string(1, '\0'));  // returns at end of file
    int status = -1;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  void Terminate() { ::kill(pid_, SIGTERM); }

  std::vector<nlohmann::json> Events() const {
    std::vector<nlohmann::json> events;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) events.push_back(nlohmann::json::parse(line));
    return events;
  }

  const std::string& link() const { return link_; }

 private:
  std::string dir_, link_, log_, pending_;
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

bool LinkExists(const std::string& link) {
  struct stat st;
  return ::lstat(link.c_str(), &st) == 0;
}

TEST(ModemSimProgram, PagesThroughTheLinkAndHangsUp) {
  ModemSim sim({"--once"});
  const std::string slave = sim.NextReady();
  ASSERT_FALSE(slave.empty());
  const int fd = OpenRaw(sim.link());
  ASSERT_GE(fd, 0);

  Send(fd, "AT\r");
  EXPECT_EQ(ReadUntil(fd, "OK\r\n"), "AT\r\r\nOK\r\n");
  Send(fd, "ATE0\r");
  ReadUntil(fd, "OK\r\n");
  Send(fd, "ATDT5551234\r");
  EXPECT_EQ(ReadUntil(fd, "CONNECT 300\r\n"), "\r\nCONNECT 300\r\n");
  Send(fd, "\r");
  EXPECT_EQ(ReadUntil(fd, "ID="), "ID=");
  Send(fd, "\x1bPG1\r");
  EXPECT_EQ(ReadUntil(fd, "\x1b[p\r"), "110 1.8\r\x06\r\x1b[p\r");
  Send(fd, std::string("\x02\rHI\r\x03") + "0;0\r");
  EXPECT_EQ(ReadUntil(fd, "\x06\r"), "211 Page accepted\r\x06\r");
  Send(fd, "\x04\r");
  EXPECT_EQ(ReadUntil(fd, "NO CARRIER\r\n"), "115 Goodbye\r\x1b\x04\r\r\nNO CARRIER\r\n");

  EXPECT_TRUE(SeesHangup(fd));
  ::close(fd);

  const int status = sim.Exit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(LinkExists(sim.link()));

  std::vector<std::string> kinds;
  for (const auto& event : sim.Events()) {
    const std::string kind = event["event"];
    if (kind == "call") {
      EXPECT_EQ(event["number"], "5551234");
    }
    if (kind == "block") {
      EXPECT_EQ(event["pin"], "");
      EXPECT_EQ(event["message"], "HI");
      EXPECT_EQ(event["checksum"], "0;0");
      EXPECT_EQ(event["valid"], true);
    }
    if (kind != "rx" && kind != "tx") kinds.push_back(kind);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"ready", "call", "block", "hangup"}));
}

// Calls that end other ways; with --once the program then exits by itself.
TEST(ModemSimProgram, OtherEndsOfACall) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> exchange;  // send, answer
  };
  const Row rows[] = {
      {"busy line", {"--scenario", "busy"}, {{"ATE0DT1\r", "ATE0DT1\r\r\nBUSY\r\n"}}},
      {"terminal hangs up after log-on", {"--scenario", "hangup-after-logon"},
       {{"ATE0DT1\r", "ATE0DT1\r\r\nCONNECT 300\r\n"},
        {"\r", "ID="},
        {"\x1bPG1\r", "110 1.8\r\x06\r\x1b[p\r\r\nNO CARRIER\r\n"}}},
      {"idle terminal", {"--idle-timeout-ms", "50"},
       {{"ATE0DT1\r", "ATE0DT1\r\r\nCONNECT 300\r\n"},
        {"\r", "ID="},
        {"\x1bPG1\r", "110 1.8\r\x06\r\x1b[p\r"},
        {"", "\x1b\x04\r\r\nNO CARRIER\r\n"}}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = row.args;
    args.push_back("--once");
    ModemSim sim(args);
    ASSERT_FALSE(sim.NextReady().empty()) << row.name;
    const int fd = OpenRaw(sim.link());
    ASSERT_GE(fd, 0) << row.name;
    std::string got, want;
    for (const auto& [send, answer] : row.exchange) {
      if (!send.empty()) Send(fd, send);
      got += ReadUntil(fd, answer);
      want += answer;
    }
    EXPECT_EQ(got, want) << row.name;
    EXPECT_TRUE(SeesHangup(fd)) << row.name;
    ::close(fd);
    const int status = sim.Exit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << row.name;
  }
}

TEST(ModemSimProgram, FreshPortAfterClientLeavesAndCleanExitOnTerm) {
  ModemSim sim({});
  const std::string first = sim.NextReady();
  ASSERT_FALSE(first.empty());
  int fd = OpenRaw(sim.link());
  ASSERT_GE(fd, 0);
  Send(fd, "ATE0DT1\r");
  ReadUntil(fd, "CONNECT 300\r\n");
  ::close(fd);  // the client hangs up mid-call

  const std::string second = sim.NextReady();
  ASSERT_FALSE(second.empty());
  char target[256] = {};
  ASSERT_GT(::readlink(sim.link().c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), second);

  fd = OpenRaw(sim.link());
  ASSERT_GE(fd, 0);
  Send(fd, "AT\r");  // echo is on again: a new modem, no stale bytes
  EXPECT_EQ(ReadUntil(fd, "OK\r\n"), "AT\r\r\nOK\r\n");
  ::close(fd);

  sim.Terminate();
  const int status = sim.Exit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(LinkExists(sim.link()));
  bool client_hangup = false;
  for (const auto& event : sim.Events()) {
    client_hangup |= event["event"] == "hangup" && event["by"] == "client";
  }
  EXPECT_TRUE(client_hangup);
}

}  // namespace
