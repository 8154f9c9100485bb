// --message-file on every kind of file a user or a script may name: a
// regular file and a pipe are read; a FIFO nobody writes to, a device, a
// folder, a missing file, a NUL byte and a file over the bound are refused at
// once with the file's name and why, never waited on.
#include "tools/send/message_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace zentrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(MessageFile, ReadsTextAndRefusesWhatIsNotAMessage) {
  const fs::path dir = fs::temp_directory_path() / ("zt_message_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const auto at = [&](const char* name) { return (dir / name).string(); };
  std::ofstream(at("text")) << "Pump 3\ndown\n";
  std::ofstream(at("nul")) << std::string("ab\0c", 4);
  std::ofstream(at("big")) << std::string(101, 'x');
  ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::write(ends[1], "from a pipe", 11), 11);
  ::close(ends[1]);
  const std::string pipe = "/proc/self/fd/" + std::to_string(ends[0]);
  const struct {
    std::string path;
    const char* text;   // read, when no error
    std::string error;  // part of the refusal; "" when read
  } rows[] = {
      {at("text"), "Pump 3\ndown\n", ""},
      {pipe, "from a pipe", ""},
      {at("fifo"), "", at("fifo") + " gave nothing: a FIFO or pipe that nobody writes to"},
      {"/dev/zero", "", "/dev/zero is a character device, not a regular file or a pipe"},
      {"/dev/null", "", "/dev/null is a character device, not a regular file or a pipe"},
      {dir.string(), "", dir.string() + " is a folder"},
      {at("none"), "", at("none") + " cannot be read: No such file or directory"},
      {at("nul"), "", "holds a NUL byte (at byte 3)"},
      {at("big"), "", at("big") + " is larger than 100 bytes"},
  };
  for (const auto& row : rows) {
    const MessageFile file = ReadMessageFile(row.path, 100, 20ms);
    if (row.error.empty()) {
      EXPECT_EQ(file.error, "") << row.path;
      EXPECT_EQ(file.text, row.text) << row.path;
    } else {
      EXPECT_NE(file.error.find(row.error), std::string::npos) << row.path << ": " << file.error;
      EXPECT_NE(file.error.find("the message file "), std::string::npos) << row.path;
      EXPECT_EQ(file.text, "") << row.path;
    }
  }
  ::close(ends[0]);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace zentrel
