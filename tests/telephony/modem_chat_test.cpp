// The command-and-answer exchange on a real pseudo-terminal: a peer thread
// reads the command up to its CR and writes a prepared answer, and the
// exchange must find the final result and the modem's own lines in it
// whatever the echo, line ends, parity bit or silence.
#include "telephony/modem_chat.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace zentrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Reads from `fd` until a CR arrives (or 5 s pass), then writes `answer`.
void AnswerOneCommand(int fd, const std::string& answer, std::string* command) {
  char byte = 0;
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, 5000) == 1 && ::read(fd, &byte, 1) == 1) {
    *command += byte;
    if (byte == '\r') break;
  }
  if (!answer.empty()) (void)!::write(fd, answer.data(), answer.size());
}

struct Row {
  const char* name;
  std::string answer;
  ChatAnswer::End end;
  HayesKind result;
  std::vector<std::string> lines;
};

TEST(ModemChat, FindsTheResultAndTheModemsLines) {
  const std::string hi = {static_cast<char>('O' | 0x80), static_cast<char>('K' | 0x80)};
  const std::vector<Row> rows = {
      {"plain", "\r\nOK\r\n", ChatAnswer::End::kResult, HayesKind::kOk, {}},
      {"echo first",
       "ATI\r\r\nModel 5\r\n\r\nOK\r\n",
       ChatAnswer::End::kResult,
       HayesKind::kOk,
       {"Model 5"}},
      {"two lines",
       "\r\nModel 5\r\nRev 2\r\n\r\nOK\r\n",
       ChatAnswer::End::kResult,
       HayesKind::kOk,
       {"Model 5", "Rev 2"}},
      {"error", "\r\nERROR\r\n", ChatAnswer::End::kResult, HayesKind::kError, {}},
      {"numeric", "0\r", ChatAnswer::End::kResult, HayesKind::kOk, {}},
      {"CR alone", "OK\r", ChatAnswer::End::kResult, HayesKind::kOk, {}},
      {"parity bit set", "\r\n" + hi + "\r\n", ChatAnswer::End::kResult, HayesKind::kOk, {}},
      {"silence", "", ChatAnswer::End::kTimeout, HayesKind::kUnknown, {}},
      {"no final line",
       "\r\nModel 5\r\n",
       ChatAnswer::End::kTimeout,
       HayesKind::kUnknown,
       {"Model 5"}},
  };
  const fs::path locks = fs::temp_directory_path() / ("zentrel-chat-" + std::to_string(getpid()));
  fs::create_directories(locks);
  for (const Row& row : rows) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    TtyOpenError error;
    TtyPortOptions options;
    options.lock_folder = locks.string();
    auto port = TtyPort::Open(name, LineFormat{}, options, &error);
    ASSERT_TRUE(port) << row.name << ": " << error.text;
    std::string command;
    std::thread peer(AnswerOneCommand, master, row.answer, &command);
    const ChatAnswer answer = Chat(*port, "ATI", 600ms, 50ms);
    peer.join();
    EXPECT_EQ(command, "ATI\r") << row.name;
    EXPECT_EQ(answer.end, row.end) << row.name;
    EXPECT_EQ(answer.result, row.result) << row.name << ": " << HayesKindName(answer.result);
    EXPECT_EQ(answer.lines, row.lines) << row.name;
    port.reset();
    ::close(slave);
    ::close(master);
  }
  fs::remove_all(locks);
}

}  // namespace
}  // namespace zentrel
