// The device list: the parser from a table (good, empty, comments, default
// init, malformed lines with their numbers), the file's path from the
// environment, and the loader on real files, present, empty and missing.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "telephony/lines_config.h"

namespace zentrel {
namespace {

TEST(LinesConfig, Parses) {
  struct Row {
    const char* what;
    const char* text;
    std::vector<std::pair<std::string, std::string>> modems;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"empty", "", {}, ""},
      {"comments and blanks", "# none\n\n   \n", {}, ""},
      {"one modem, default init", "modem /dev/ttyUSB0\n",
       {{"/dev/ttyUSB0", "ATZ"}}, ""},
      {"init given, comment after", "modem /dev/ttyS0 AT&F E1 # mine\n",
       {{"/dev/ttyS0", "AT&F E1"}}, ""},
      {"order kept, no final LF", "modem /dev/a\n  modem\t/dev/b ATZ",
       {{"/dev/a", "ATZ"}, {"/dev/b", "ATZ"}}, ""},
      {"unknown type", "modem /dev/a\n\nfax /dev/b\n", {},
       "line 3: unknown device type \"fax\""},
      {"port missing", "# list\nmodem\n", {}, "line 2: modem without a port"},
  };
  for (const Row& row : rows) {
    LinesConfig config = ParseLinesConfig(row.text);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& m : config.modems) got.emplace_back(m.port, m.init);
    EXPECT_EQ(got, row.modems) << row.what;
    EXPECT_EQ(config.error, row.error) << row.what;
  }
  const ModemConfig modem{"/dev/ttyUSB0", "ATZ"};
  EXPECT_EQ(modem.LineName(), "Modem on /dev/ttyUSB0");
}

TEST(LinesConfig, PathFromEnvironment) {
  ::setenv("HOME", "/home/u", 1);
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  ::setenv("ZENTREL_LINES", "/etc/lines", 1);
  EXPECT_EQ(LinesConfigPath(), "/etc/lines");
  ::unsetenv("ZENTREL_LINES");
  EXPECT_EQ(LinesConfigPath(), "/xdg/zentrel/lines.conf");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(LinesConfigPath(), "/home/u/.config/zentrel/lines.conf");
}

TEST(LinesConfig, LoadsFiles) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("zt_lines_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto write = [&](const char* name, const char* text) {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  };
  LinesConfig good = LoadLinesConfig(write("good", "modem /dev/pts/9 ATZ\n"));
  ASSERT_EQ(good.modems.size(), 1u);
  EXPECT_EQ(good.modems[0].port, "/dev/pts/9");
  EXPECT_TRUE(LoadLinesConfig(write("empty", "")).modems.empty());
  LinesConfig missing = LoadLinesConfig((dir / "none").string());
  EXPECT_TRUE(missing.modems.empty());
  EXPECT_TRUE(missing.error.empty());
  // A malformed file: the modem driver's test of lineInitialize.
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zentrel
