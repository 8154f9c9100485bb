// The --pages file read from a pipe, as in "generate | zentrel-send
// --pages /dev/stdin": read to the writer's end, and refused, naming it,
// when the writer falls silent longer than allowed.
#include "tools/send/pages_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "base/bounded_file.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;

TEST(PagesFile, APipeIsReadToItsEndAndASilentOneIsRefused) {
  const struct {
    const char* name;
    std::string written;
    bool writer_closes;
    const char* error;  // "" when the pages are read
  } rows[] = {
      {"a pipe whose writer is done", "1001\thi\r\n\n1002\tthere\n", true, ""},
      {"a pipe whose writer stays silent", "1001\thi\n", false, "sent nothing for 20 ms"},
  };
  for (const auto& row : rows) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], row.written.data(), row.written.size()),
              static_cast<ssize_t>(row.written.size()));
    if (row.writer_closes) ::close(ends[1]);
    const std::string path = "/proc/self/fd/" + std::to_string(ends[0]);
    const BoundedText read = ReadBoundedFile(path, kMaxPagesFileBytes, "the pages file", 20ms);
    if (!row.writer_closes) ::close(ends[1]);
    ::close(ends[0]);
    EXPECT_NE(read.error.find(row.error), std::string::npos) << row.name << ": " << read.error;
    if (*row.error != '\0') continue;
    const PagesFile file = ParsePagesText(read.text);
    ASSERT_EQ(file.pages.size(), 2u) << row.name;
    EXPECT_EQ(file.pages[1].pin, "1002");
    EXPECT_EQ(file.pages[1].text, "there");
  }
}

}  // namespace
}  // namespace zentrel
