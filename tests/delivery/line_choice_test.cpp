// The line chosen before a call when lines.conf has a wctp line: the first
// usable line in the file's order, over real loopback sockets (one that
// listens, one that nobody listens on). A wctp line is the choice itself;
// any other choice is handed to the line service as a driver that passes
// over the same lines with the same problems, without checking them again.
#include "telephony/line_choice.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/loopback_port.h"

namespace zentrel {
namespace {

using e2e::LoopbackPort;

TEST(LineChoice, TheFirstUsableLineInTheFilesOrderIsChosen) {
  const LoopbackPort up(true), down(false);
  const std::string wctp_up = "wctp http://127.0.0.1:" + up.Text() + "/wctp\n";
  const std::string wctp_down = "wctp http://127.0.0.1:" + down.Text() + "/wctp\n";
  const std::string tcp_up = "tcp 127.0.0.1:" + up.Text() + "\n";
  const std::string tcp_down = "tcp 127.0.0.1:" + down.Text() + "\n";
  struct Row {
    const char* name;
    std::string lines;
    bool made;
    bool carries_pages;
    std::size_t skipped;  // lines passed over before the choice
  };
  const Row rows[] = {
      {"no wctp line: the line service chooses", tcp_down + tcp_up, false, false, 0},
      {"a wctp line first", wctp_up + tcp_up, true, true, 0},
      {"a wctp line that is down, then one that is up", wctp_down + wctp_up, true, true, 1},
      {"a TCP line that is down, then a wctp line", tcp_down + wctp_up, true, true, 1},
      {"a TCP line first", tcp_up + wctp_up, true, false, 0},
      {"a wctp line down, then a TCP line", wctp_down + tcp_up, true, false, 1},
      {"nothing usable", wctp_down + tcp_down, true, false, 2},
      {"a wctp line set up wrong", "wctp http://carrier.example/wctp\n" + wctp_up, true, true, 1},
  };
  const std::string path =
      (std::filesystem::temp_directory_path() / ("line_choice_" + std::to_string(getpid())))
          .string();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(path) << row.lines;
    TakeLineProblems();
    LineChoice choice = ChooseLine([&path] { return path; });
    EXPECT_EQ(choice.made, row.made);
    EXPECT_EQ(choice.carries_pages, row.carries_pages);
    if (row.carries_pages) {
      EXPECT_EQ(choice.skipped.size(), row.skipped);
      for (const LineProblem& problem : choice.skipped)
        EXPECT_TRUE(problem.skipped) << problem.Text();
      EXPECT_EQ(choice.line.kind->word, "wctp");
      EXPECT_EQ(choice.driver, nullptr);
      continue;
    }
    if (!row.made) continue;
    ASSERT_NE(choice.driver, nullptr);
    EXPECT_TRUE(TakeLineProblems().empty()) << "noted when the line service asks, not before";
    // The line service's round: the lines before the choice fail with their
    // problems, the choice is agreed, nothing is checked again.
    DWORD count = 0;
    ASSERT_EQ(choice.driver->Initialize(&count), 0);
    DWORD agreed = count;
    for (DWORD device = 0; device < count && agreed == count; ++device) {
      DWORD version = 0;
      if (choice.driver->NegotiateAPIVersion(device, 0x10003, 0x10004, &version) == 0)
        agreed = device;
    }
    EXPECT_EQ(agreed, row.skipped == count ? count : row.skipped);
    EXPECT_EQ(TakeLineProblems().size(), row.skipped);
    choice.driver->Shutdown();
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace zentrel
