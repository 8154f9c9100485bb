// The device list: the parser from one table over the four kinds (options,
// defaults, quoting, malformed lines with their numbers), the file's path
// from the environment, and the loader on real files, saying why a file gave
// no line (a FIFO and a device among them).
#include "telephony/lines_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "telephony/direct_lines.h"
#include "telephony/tty_lines.h"

namespace zentrel {
namespace {

// One parsed line as text, every field the kind uses.
std::string Describe(const LineConfig& l) {
  const std::string text = l.KindWord() + "@" + std::to_string(l.line_number) + " ";
  if (const auto* m = l.As<ModemLineFields>())
    return text + m->port + " " + m->format.Text() + " [" + m->init + "]" +
           (m->answer_ms ? " answer " + std::to_string(m->answer_ms) + " ms" : "");
  if (const auto* s = l.As<TtyLineFields>()) return text + s->port + " " + s->format.Text();
  if (const auto* t = l.As<TlsLineFields>())
    return text + t->host + " " + t->service + " ca=" + t->ca_file + " name=" + t->server_name +
           (t->insecure ? " insecure" : "");
  if (const auto* n = l.As<NetLineFields>()) return text + n->host + " " + n->service;
  return text;
}

TEST(LinesConfig, Parses) {
  struct Row {
    const char* text;
    std::vector<std::string> lines;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"", {}, ""},
      {"# none\n\n   \n", {}, ""},
      {"modem /dev/ttyUSB0\n", {"modem@1 /dev/ttyUSB0 300 7E1 [ATZ]"}, ""},
      {"modem /dev/ttyS0 AT&F E1 S7=45 # mine\n",
       {"modem@1 /dev/ttyS0 300 7E1 [AT&F E1 S7=45]"},
       ""},
      {"modem /dev/a\n  modem\t/dev/b ATZ",
       {"modem@1 /dev/a 300 7E1 [ATZ]", "modem@2 /dev/b 300 7E1 [ATZ]"},
       ""},
      {"modem /dev/a --speed=1200 ATZ", {"modem@1 /dev/a 1200 7E1 [ATZ]"}, ""},
      {"modem /dev/a --speed=2400 --format=8N1", {"modem@1 /dev/a 2400 8N1 [ATZ]"}, ""},
      {"modem /dev/a AT --speed=1200", {"modem@1 /dev/a 300 7E1 [AT --speed=1200]"}, ""},
      {"serial /dev/ttyS1 9600 8n1\nserial /dev/ttyS2 1200 7E1 rtscts",
       {"serial@1 /dev/ttyS1 9600 8N1", "serial@2 /dev/ttyS2 1200 7E1 rtscts"},
       ""},
      {"serial /dev/ttyS1 9600 7O2 xonxoff", {"serial@1 /dev/ttyS1 9600 7O2 xonxoff"}, ""},
      {"tcp paging.example:444", {"tcp@1 paging.example 444"}, ""},
      {"tcp [::1]:444", {"tcp@1 ::1 444"}, ""},
      {"tls tap.example:443 ca=/etc/ca.pem name=tap insecure",
       {"tls@1 tap.example 443 ca=/etc/ca.pem name=tap insecure"},
       ""},
      {"tls tap.example:443", {"tls@1 tap.example 443 ca= name="}, ""},
      {"modem /dev/a\n\nfax /dev/b\n",
       {},
       "line 3: unknown device type \"fax\" (modem, serial, tcp, tls or wctp)"},
      {"# list\nmodem\n", {}, "line 2: modem without a port"},
      {"modem /dev/a --speed=1300", {}, "line 1: unsupported speed \"1300\""},
      {"modem /dev/a --speed=fast", {}, "line 1: bad speed \"fast\""},
      {"modem /dev/a --parity=E",
       {},
       "line 1: unknown modem option \"--parity=E\" (--speed=N, --format=7E1, --answer-ms=N)"},
      {"modem /dev/a --answer-ms=300 ATZ", {"modem@1 /dev/a 300 7E1 [ATZ] answer 300 ms"}, ""},
      {"modem /dev/a --answer-ms=99", {}, "line 1: answer time \"99\" is not 100 to 600000 ms"},
      {"modem /dev/a --answer-ms=", {}, "line 1: answer time \"\" is not 100 to 600000 ms"},
      {"modem /dev/a --answer-ms=5s", {}, "line 1: bad answer time \"5s\""},
      {"modem /dev/a --answer-ms=99999999999", {}, "line 1: bad answer time \"99999999999\""},
      {"serial /dev/a 9600",
       {},
       "line 1: serial needs PORT SPEED FORMAT, like: serial /dev/ttyS0 9600 8N1"},
      {"serial /dev/a 9600 9N1", {}, "line 1: bad format \"9N1\" (like 8N1)"},
      {"serial /dev/a 9600 8N1 dtrdsr",
       {},
       "line 1: unknown flow control \"dtrdsr\" (rtscts or xonxoff)"},
      {"tcp host", {}, "line 1: address \"host\" is not HOST:PORT"},
      {"tcp host:0", {}, "line 1: bad port number in \"host:0\""},
      {"tcp host:99999", {}, "line 1: bad port number in \"host:99999\""},
      {"tcp host:444 extra", {}, "line 1: unexpected \"extra\""},
      {"tls", {}, "line 1: tls without HOST:PORT"},
      {"tls h:443 ca=", {}, "line 1: unknown tls option \"ca=\" (ca=FILE, name=SERVER, insecure)"},
      // Quoting: blanks and '#' inside quotes, \" and \\ escaped; a byte order mark.
      {"\xEF\xBB\xBFmodem /dev/a", {"modem@1 /dev/a 300 7E1 [ATZ]"}, ""},
      {"modem \"/dev/my port#1\" # mine", {"modem@1 /dev/my port#1 300 7E1 [ATZ]"}, ""},
      {"modem /dev/a \"AT&F #1 \\\"x\\\" \\\\\"",
       {"modem@1 /dev/a 300 7E1 [AT&F #1 \"x\" \\]"},
       ""},
      {"modem /dev/a --speed=1200 \"--x\"", {"modem@1 /dev/a 1200 7E1 [--x]"}, ""},
      {"modem /dev/a AT\\N3", {"modem@1 /dev/a 300 7E1 [AT\\N3]"}, ""},
      {"serial \"/dev/serial/by-id/usb A\" 9600 8N1",
       {"serial@1 /dev/serial/by-id/usb A 9600 8N1"},
       ""},
      {"tls h:1 ca=\"/etc/my ca.pem\"", {"tls@1 h 1 ca=/etc/my ca.pem name="}, ""},
      {"modem \"/dev/a", {}, "line 1: a quote is not closed"},
      {"modem \"/dev/\\a\"", {}, "line 1: inside quotes only \\\" and \\\\ are escapes"},
      {"modem /dev/a \"ATZ\" ATH", {}, "line 1: unexpected \"ATH\" after the quoted INIT"},
      {"modem /dev/a AT\"Z\"", {}, "line 1: a quote inside INIT \"AT\"Z\"\": quote the whole INIT"},
      {"modem /dev/a \"AT\rZ\"", {}, "line 1: a control character in a word"},
      {"modem /dev/a AT\x01Z", {}, "line 1: a control character in INIT"},
  };
  for (const Row& row : rows) {
    LinesConfig config = ParseLinesConfig(row.text);
    std::vector<std::string> got;
    for (const auto& l : config.lines) got.push_back(Describe(l));
    EXPECT_EQ(got, row.lines) << row.text;
    EXPECT_EQ(config.error, row.error) << row.text;
  }
}

TEST(LinesConfig, Names) {
  const LinesConfig config =
      ParseLinesConfig("modem /dev/ttyUSB0\nserial /dev/ttyS0 9600 8N1\ntcp h:1\ntls h:2\n");
  ASSERT_EQ(config.lines.size(), 4u);
  EXPECT_EQ(config.lines[0].LineName(), "Modem on /dev/ttyUSB0");
  EXPECT_EQ(config.lines[1].LineName(), "Serial on /dev/ttyS0");
  EXPECT_EQ(config.lines[2].LineName(), "TAP over TCP to h:1");
  EXPECT_EQ(config.lines[3].LineName(), "TAP over TLS to h:2");
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

TEST(LinesConfig, LoadSaysWhyNoLine) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("zt_lines_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "folder");
  auto write = [&](const char* name, const char* text) {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  };
  LinesConfig good = LoadLinesConfig(write("good", "modem /dev/pts/9 ATZ\n"));
  ASSERT_EQ(good.lines.size(), 1u);
  EXPECT_EQ(Describe(good.lines[0]), "modem@1 /dev/pts/9 300 7E1 [ATZ]");
  EXPECT_EQ(good.why_none, "");
  const std::string d = dir.string();
  const std::string fifo = d + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> rows[] = {
      {write("empty", "# nothing yet\n"), "the device list " + d + "/empty has no lines"},
      {d + "/none", "the device list " + d + "/none does not exist"},
      {d + "/folder", "the device list " + d + "/folder is a folder, not a file"},
      {write("bad", "modem\n"), "the device list " + d + "/bad line 1: modem without a port"},
      {"", "no device list: neither ZENTREL_LINES nor HOME is set"},
      // Never blocks on, or reads without end from, what is not a file.
      {fifo, "the device list " + fifo + " is not a regular file"},
      {"/dev/zero", "the device list /dev/zero is not a regular file"},
      {write("big", std::string(kLinesFileLimit + 1, '#').c_str()),
       "the device list " + d + "/big is larger than 1024 KiB"},
  };
  for (const auto& [path, why] : rows) {
    const LinesConfig config = LoadLinesConfig(path);
    EXPECT_TRUE(config.lines.empty()) << path;
    EXPECT_EQ(config.why_none, why) << path;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zentrel
