// zentrel-lines against the emulated modem on a pseudo-terminal: the listing
// finds the ports in a device folder (by-id names first, a port named twice
// listed once) and says what answered or why not; check reports each
// configured line; add writes a line and refuses what it must.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "seriallink/tty_port_lock.h"
#include "telephony/lines_config.h"
#include "telephony/tty_lines.h"
#include "tests/e2e/scratch.h"
#include "tools/lines/port_probe.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::Finished;
using e2e::Process;
using e2e::RunProgram;

class LinesTool : public e2e::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    fs::create_directories(dir_ / "dev" / "serial" / "by-id");
  }

  std::string Modem(const char* name = "modem") const { return Path(name); }
  std::string Conf() const { return Path("conf/lines.conf"); }
  std::unique_ptr<Process> StartModem(const char* name = "modem") {
    return StartEmulator({"--link", Modem(name), "--scenario", "accept"},
                         std::string(name) + ".log");
  }
  Finished Run(std::vector<std::string> args) {
    args.insert(args.begin(), ZENTREL_LINES_TOOL);
    return RunProgram(args, {"ZENTREL_LINES=" + Conf()}, 30s);
  }
  std::string ReadConf() const {
    std::ifstream in(Conf());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST(CandidatePorts, OrderAndFamilies) {
  const fs::path dev = fs::temp_directory_path() / ("zentrel-ports-" + std::to_string(getpid()));
  fs::remove_all(dev);
  fs::create_directories(dev / "serial" / "by-id");
  for (const char* name :
       {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "ttyprintk", "ttySX", "tty1", "null"}) {
    std::ofstream(dev / name).put('\n');
  }
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-Maker_Modem-if00");
  const std::vector<std::string> want = {(dev / "serial/by-id/usb-Maker_Modem-if00").string(),
                                         (dev / "ttyS2").string(), (dev / "ttyS10").string(),
                                         (dev / "ttyACM1").string()};
  EXPECT_EQ(CandidatePorts(dev.string()), want);
  EXPECT_TRUE(CandidatePorts((dev / "absent").string()).empty());
  fs::remove_all(dev);
}

// Each kind of port the listing meets, and what it says of it.
TEST_F(LinesTool, ListSaysWhatAnsweredOrWhyNot) {
  auto modem = StartModem();
  const fs::path dev = dir_ / "dev";
  fs::create_symlink(Modem(), dev / "ttyUSB0");
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-Zentrel_Sim-if00");
  std::ofstream(dev / "ttyS0") << "not a device\n";
  fs::create_symlink(dir_ / "gone", dev / "ttyACM0");
  // a device's own name for itself, shown with its escape sequence spelt out
  fs::create_symlink(dir_ / "gone2", dev / "serial" / "by-id" / "usb-Evil\x1b[2J-if00");
  struct Row {
    std::string port;
    std::string said;
  };
  const std::vector<Row> rows = {
      {(dev / "serial/by-id/usb-Evil\\x1b[2J-if00").string(), "no port"},
      {(dev / "serial/by-id/usb-Zentrel_Sim-if00").string(),
       "modem answered (Zentrel emulated modem)"},
      {(dev / "ttyS0").string(), "not a"},
      {(dev / "ttyACM0").string(), "no port"},
  };
  const Finished listed = Run({"--dev", dev.string(), "--probe-timeout-ms", "2000"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  std::istringstream lines(listed.out);
  std::string line;
  for (const Row& row : rows) {
    ASSERT_TRUE(std::getline(lines, line)) << "missing " << row.port << "\n" << listed.out;
    EXPECT_EQ(line.rfind(row.port + ": ", 0), 0u) << row.port << "\n" << listed.out;
    EXPECT_NE(line.find(row.said), std::string::npos) << row.port << "\n" << listed.out;
  }
  EXPECT_FALSE(std::getline(lines, line)) << "ttyUSB0 listed twice?\n" << listed.out;
  EXPECT_EQ(listed.out.find('\x1b'), std::string::npos) << listed.out;
}

TEST_F(LinesTool, ListNamesTheProcessHoldingAPort) {
  auto modem = StartModem();
  fs::create_symlink(Modem(), dir_ / "dev" / "ttyUSB3");
  const std::string lock = LockPathFor(Modem(), SystemLockFolder());
  char pid[16];
  std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(modem->pid()));
  std::ofstream(lock) << pid;
  const Finished listed = Run({"list", "--dev", (dir_ / "dev").string()});
  fs::remove(lock);
  EXPECT_NE(listed.out.find("process " + std::to_string(modem->pid())), std::string::npos)
      << listed.out;
}

TEST_F(LinesTool, CheckReportsEachLine) {
  // One emulator per modem line: it makes a new pty when a caller lets go.
  auto modem = StartModem();
  auto second = StartModem("second");
  struct Row {
    std::string config;
    std::string said;
  };
  const std::vector<Row> rows = {
      {"modem " + Modem(), "ok    Modem on " + Modem() + ": ATZ answered OK"},
      {"modem " + Modem("second") + " HELLO",
       "FAILED Modem on " + Modem("second") + ": HELLO got no answer within 1500 ms"},
      {"modem " + (dir_ / "absent").string(), "FAILED Modem on " + (dir_ / "absent").string()},
      {"tcp 127.0.0.1:1", "FAILED TAP over TCP to 127.0.0.1:1: the gateway cannot be reached"},
  };
  std::string text;
  for (const Row& row : rows) text += row.config + "\n";
  fs::create_directories(fs::path(Conf()).parent_path());
  std::ofstream(Conf()) << text;
  const Finished checked = Run({"check", "--probe-timeout-ms", "1500"});
  EXPECT_EQ(checked.status, 1) << checked.err;
  for (const Row& row : rows) {
    EXPECT_NE(checked.out.find(row.said), std::string::npos) << row.config << "\n" << checked.out;
  }
  modem.reset();  // gone, with its link, before the next one makes it
  modem = StartModem();
  std::ofstream(Conf()) << rows[0].config << "\n";
  const Finished alone = Run({"check"});
  EXPECT_EQ(alone.status, 0) << "a good modem alone is usable\n" << alone.out;
}

TEST_F(LinesTool, AddWritesALineAndRefusesWhatItMust) {
  const std::string port = (dir_ / "dev" / "ttyUSB0").string();
  std::ofstream(port) << "";
  fs::create_symlink(port, dir_ / "dev" / "serial" / "by-id" / "usb-X");
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string said;  // on standard error when refused
  };
  const std::vector<Row> rows = {
      {{"add", port, "--speed=9600", "AT&F E0"}, 0, ""},
      {{"add", port}, 1, "is already listed (line 1)"},
      {{"add", (dir_ / "dev/serial/by-id/usb-X").string()}, 1, "is already listed"},
      {{"add", (dir_ / "dev/ttyUSB9").string()}, 1, "does not exist"},
      {{"add", (dir_ / "dev/serial/by-id").string(), "--speed=1234"}, 1, "speed"},
  };
  for (const Row& row : rows) {
    const Finished added = Run(row.args);
    EXPECT_EQ(added.status, row.status) << row.args[1] << "\n" << added.err;
    EXPECT_NE(added.err.find(row.said), std::string::npos) << row.args[1] << "\n" << added.err;
  }
  EXPECT_EQ(ReadConf(), "modem " + port + " --speed=9600 AT&F E0\n");
}

// What add writes reads back as what was given: ports and INITs holding
// blanks, '#', quotes or backslashes are quoted; a line break is refused.
TEST_F(LinesTool, AddedLinesReadBackAsGiven) {
  struct Row {
    std::string port_name;  // made in dev/
    std::string init;
    bool added;
  };
  const std::vector<Row> rows = {
      {"tty USB1", "", true},          {"tty#2", "ATS0=0#", true},
      {"tty3", "AT\"X\" \\ ", true},   {"tty4", "--not-an-option", true},
      {"tty5", "ATZ\nATDT999", false}, {"tty6\nmodem", "", false},
  };
  std::vector<ModemLineFields> want;
  for (const Row& row : rows) {
    const std::string port = (dir_ / "dev" / row.port_name).string();
    std::ofstream(port) << "";
    std::vector<std::string> args{"add", port};
    if (!row.init.empty()) args.insert(args.end(), {"--", row.init});
    const Finished added = Run(args);
    EXPECT_EQ(added.status, row.added ? 0 : 1) << row.port_name << "\n" << added.err;
    if (!row.added) {
      EXPECT_NE(added.err.find("control character"), std::string::npos) << added.err;
    }
    if (!row.added) continue;
    ModemLineFields line;
    line.port = port;
    line.init = row.init.empty() ? "ATZ" : row.init;
    want.push_back(line);
  }
  const LinesConfig back = LoadLinesConfig(Conf());
  ASSERT_EQ(back.error, "") << ReadConf();
  ASSERT_EQ(back.lines.size(), want.size()) << ReadConf();
  for (std::size_t i = 0; i < want.size(); ++i) {
    const auto* modem = back.lines[i].As<ModemLineFields>();
    ASSERT_NE(modem, nullptr) << ReadConf();
    EXPECT_EQ(modem->port, want[i].port) << ReadConf();
    EXPECT_EQ(modem->init, want[i].init) << ReadConf();
  }
}

}  // namespace
}  // namespace zentrel
