// Files where they do not belong, and files that are not what they claim,
// through the real programs: the page log only ever in a regular file of
// the user's own (never a device, a folder or the current folder), the page
// log's reader creating nothing, --pages and CSV files refused at once when
// they are devices or too large (also under a 1 GB address-space limit) and
// a FIFO read without waiting for a writer, CSV cells guarded against
// spreadsheets, control characters spelt out on the terminal, and
// zentrel-db refusing rows a page could never reach. Each row checks the
// exit status, the words and what was left.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "journal/page_log.h"
#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr bool kSanitized = ZENTREL_SANITIZED;  // an address-space limit starves the sanitizers

// The names in /dev, to see that nothing was made beside a device.
std::set<std::string> DevNames() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator("/dev")) names.insert(entry.path().string());
  return names;
}

class BadFiles : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    fs::create_directories(dir_ / "cwd");
    ASSERT_TRUE(MakeDemoDb());
    // A line whose port is missing: the call fails at once, after the page
    // log was opened, and nothing is ever dialled.
    Write("lines.conf", "modem " + Path("no-such-port") + "\n");
    ::mkfifo(Path("fifo").c_str(), 0600);
  }

  // Runs `argv` in the scratch's "cwd" folder with `env` (NAME=VALUE to
  // set, -NAME to unset) and, when `limited`, under ulimit -v 1000000.
  Finished Run(Args argv, const Args& env, bool limited = false) {
    Args prefix{"/usr/bin/env", "-C", Path("cwd")};
    for (const auto& e : env) {
      if (e.starts_with('-')) prefix.insert(prefix.end(), {"-u", e.substr(1)});
    }
    for (const auto& e : env) {
      if (!e.starts_with('-')) prefix.push_back(e);
    }
    if (limited)
      prefix.insert(prefix.end(), {"/bin/sh", "-c", "ulimit -v 1000000 && exec \"$@\"", "sh"});
    argv.insert(argv.begin(), prefix.begin(), prefix.end());
    return RunProgram(argv, {}, 60s);
  }

  Finished Send(const Args& extra, const Args& env) {
    Args argv{ZENTREL_SEND, "--db", Path("vp.mdb"), "--timeout", "5"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    Args all{"ZENTREL_LINES=" + Path("lines.conf")};
    all.insert(all.end(), env.begin(), env.end());
    return Run(argv, all);
  }
};

TEST_F(BadFiles, ThePageLogGoesOnlyToARegularFileOfTheUsersOwn) {
  fs::create_directory(dir_ / "a-folder");
  std::ofstream(dir_ / "precious") << "precious";
  fs::create_symlink(dir_ / "precious", dir_ / "link.db");
  const bool root = getuid() == 0;
  const struct {
    const char* name;
    Args env;
    std::string says;
  } rows[] = {
      {"/dev/null",
       {"ZENTREL_PAGE_LOG=/dev/null"},
       root ? "the page log /dev/null is a character device, not a regular file; nothing is written"
            : "the folder /dev belongs to"},
      {"/dev/full",
       {"ZENTREL_PAGE_LOG=/dev/full"},
       root ? "/dev/full is a character device" : "/dev"},
      {"/dev/zero",
       {"ZENTREL_PAGE_LOG=/dev/zero"},
       root ? "/dev/zero is a character device" : "/dev"},
      {"a folder",
       {"ZENTREL_PAGE_LOG=" + Path("a-folder")},
       "a-folder is a folder, not a regular file"},
      {"a link to another file",
       {"ZENTREL_PAGE_LOG=" + Path("link.db")},
       "link.db is a symbolic link, not a regular file"},
      {"no HOME, no XDG_STATE_HOME",
       {"-ZENTREL_PAGE_LOG", "-HOME", "-XDG_STATE_HOME"},
       "there is no page log: neither XDG_STATE_HOME nor HOME is set"},
  };
  for (const auto& row : rows) {
    const auto dev_before = DevNames();
    const auto sent = Send({"--pin", "1001", "--message", "hi"}, row.env);
    EXPECT_EQ(sent.status, 1) << row.name << ": " << sent.err;
    EXPECT_TRUE(Has(sent.err, "zentrel-send: page log not written: "))
        << row.name << ": " << sent.err;
    EXPECT_TRUE(Has(sent.err, row.says)) << row.name << ": " << sent.err;
    EXPECT_EQ(DevNames(), dev_before) << row.name << ": something was made in /dev";
    EXPECT_TRUE(fs::is_empty(dir_ / "cwd"))
        << row.name << ": something was made in the current folder";
    EXPECT_TRUE(fs::is_empty(dir_ / "a-folder")) << row.name;
    EXPECT_EQ(ReadFile(dir_ / "precious"), "precious") << row.name;
  }
}

TEST_F(BadFiles, TheLogReaderCreatesNothingAndRefusesDatesTheCalendarLacks) {
  const struct {
    const char* name;
    Args args;
    int status;
    const char* says;
  } rows[] = {
      {"a mistyped log", {"--log", Path("typo.db")}, 1, "typo.db does not exist"},
      {"a log in a missing folder", {"--log", Path("none/pages.db")}, 1, "none cannot be used"},
      {"a device as the log", {"--log", "/dev/zero"}, 1, "/dev/zero is a character device"},
      {"month 13", {"--log", Path("typo.db"), "--since", "2026-13-45"}, 2, "not a time or an age"},
      {"29 February 2026", {"--log", Path("typo.db"), "--since", "2026-02-29"}, 2, "not a time"},
      {"25 o'clock", {"--log", Path("typo.db"), "--since", "2026-02-28 25:00"}, 2, "not a time"},
  };
  for (const auto& row : rows) {
    Args argv{ZENTREL_LOG};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto listed = Run(argv, {});
    EXPECT_EQ(listed.status, row.status) << row.name << ": " << listed.err;
    EXPECT_TRUE(Has(listed.err, row.says)) << row.name << ": " << listed.err;
    EXPECT_FALSE(fs::exists(dir_ / "typo.db")) << row.name;
    EXPECT_FALSE(fs::exists(dir_ / "none")) << row.name;
  }
}

TEST_F(BadFiles, WhatIsReadIsARegularFileWithinItsBound) {
  std::ofstream(dir_ / "no-tab.txt") << "1001\thi\n1002 hi\n";
  std::ofstream(dir_ / "huge.txt") << "";
  fs::resize_file(dir_ / "huge.txt", 8 * 1024 * 1024 + 1);
  std::ofstream(dir_ / "huge.csv") << "";
  fs::resize_file(dir_ / "huge.csv", 64 * 1024 * 1024 + 1);
  const std::string before = ReadFile(dir_ / "vp.mdb");
  const struct {
    const char* name;
    Args args;
    int status;
    const char* says;
  } rows[] = {
      {"--pages /dev/zero",
       {ZENTREL_SEND, "--full-tap", "--pages", "/dev/zero"},
       2,
       "the pages file /dev/zero is a character device, not a regular file"},
      {"--pages a FIFO no one writes",
       {ZENTREL_SEND, "--full-tap", "--pages", Path("fifo")},
       2,
       "--pin, --page or --pages"},
      {"--pages over 8 MiB",
       {ZENTREL_SEND, "--full-tap", "--pages", Path("huge.txt")},
       2,
       "is larger than 8 MiB"},
      {"--pages without a tab",
       {ZENTREL_SEND, "--full-tap", "--pages", Path("no-tab.txt")},
       2,
       "no-tab.txt: line 2: expected PIN<TAB>TEXT"},
      {"import /dev/zero",
       {ZENTREL_DB_TOOL, "import", "/dev/zero", "--db", Path("vp.mdb")},
       1,
       "the CSV file /dev/zero is a character device, not a regular file"},
      {"import a FIFO no one writes",
       {ZENTREL_DB_TOOL, "import", Path("fifo"), "--db", Path("vp.mdb")},
       1,
       "line 1: the first line must be the header"},
      {"import over 64 MiB",
       {ZENTREL_DB_TOOL, "import", Path("huge.csv"), "--db", Path("vp.mdb")},
       1,
       "is larger than 64 MiB; it is not read; nothing was imported"},
  };
  for (const auto& row : rows) {
    const auto run = Run(row.args, {"ZENTREL_LINES=" + Path("lines.conf")}, !kSanitized);
    EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err;
    EXPECT_TRUE(Has(run.err, row.says)) << row.name << ": " << run.err;
    EXPECT_FALSE(Has(run.err, "bad_alloc")) << row.name;
    EXPECT_EQ(ReadFile(dir_ / "vp.mdb"), before) << row.name;
  }
  // A pipeline is a FIFO too, and is read.
  std::ofstream(dir_ / "in.csv") << "pin,fname,lname,pagephone\n4001,Pipe,Line,5551234\n";
  const auto piped = Run({"/bin/sh", "-c", "cat \"$1\" | exec \"$2\" import /dev/stdin --db \"$3\"",
                          "sh", Path("in.csv"), ZENTREL_DB_TOOL, Path("vp.mdb")},
                         {});
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(Has(piped.out, "Imported 1 recipients")) << piped.out;
}

TEST_F(BadFiles, ImportRefusesRowsNoPageCouldReachAndDeleteNamesWhom) {
  const std::string header = "pin,fname,lname,pagephone\n";
  const std::string before = ReadFile(dir_ / "vp.mdb");
  const struct {
    const char* name;
    Args args;  // after "zentrel-db"; the CSV is in.csv
    std::string csv;
    int status;
    std::string says;
  } rows[] = {
      {"empty PIN",
       {"import", Path("in.csv")},
       header + "2001,a,b,5\n,a,b,5\n",
       1,
       "line 3: the PIN is empty; nothing was imported (--allow-unpageable imports it all the "
       "same)"},
      {"PIN of 8",
       {"import", Path("in.csv")},
       header + "12345678,a,b,5\n",
       1,
       "line 2: the PIN \"12345678\" has more than 7 characters"},
      {"empty number",
       {"import", Path("in.csv")},
       header + "2001,a,b,\n",
       1,
       "line 2: pagephone cannot be dialled: the phone number is empty"},
      {"a number longer than a line dials",
       {"import", Path("in.csv")},
       header + "2001,a,b," + std::string(32, '5') + "\n",
       1,
       "line 2: pagephone cannot be dialled: the phone number \"" + std::string(32, '5') +
           "\" has 32 characters, more than the 31 a line can dial"},
      {"a second modem command",
       {"import", Path("in.csv")},
       header + "2001,a,b,555;ATH\n",
       1,
       "line 2: pagephone cannot be dialled: the number holds a ';'"},
      {"a number too long",
       {"import", Path("in.csv")},
       header + "2001,a,b," + std::string(41, '5') + "\n",
       1,
       "has 41 characters, more than the 31 a line can dial"},
      {"unknown PIN deleted", {"delete", "9999"}, "", 1, "no recipient has the PIN \"9999\" in "},
      {"a shared PIN deleted",
       {"delete", "2001"},
       "",
       1,
       "2 recipients have the PIN \"2001\" (ids "},
  };
  std::ofstream(dir_ / "shared.csv") << header << "2001,x,y,5\n2001,z,w,6\n";
  ASSERT_EQ(Run({ZENTREL_DB_TOOL, "import", Path("shared.csv"), "--db", Path("shared.mdb"),
                 "--allow-duplicates"},
                {})
                .status,
            1)
      << "shared.mdb does not exist yet";
  ASSERT_EQ(Run({ZENTREL_DB_TOOL, "init", Path("shared.mdb")}, {}).status, 0);
  ASSERT_EQ(Run({ZENTREL_DB_TOOL, "import", Path("shared.csv"), "--db", Path("shared.mdb"),
                 "--allow-duplicates"},
                {})
                .status,
            0);
  const std::string shared_before = ReadFile(dir_ / "shared.mdb");
  for (const auto& row : rows) {
    std::ofstream(dir_ / "in.csv") << row.csv;
    Args argv{ZENTREL_DB_TOOL};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const bool shared = row.args[0] == "delete" && row.args[1] == "2001";
    argv.insert(argv.end(), {"--db", Path(shared ? "shared.mdb" : "vp.mdb")});
    const auto run = Run(argv, {});
    EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err;
    EXPECT_TRUE(Has(run.err, row.says)) << row.name << ": " << run.err;
    EXPECT_EQ(ReadFile(dir_ / "vp.mdb"), before) << row.name;
    EXPECT_EQ(ReadFile(dir_ / "shared.mdb"), shared_before) << row.name;
  }
  std::ofstream(dir_ / "in.csv") << header << ",no,pin,5\n2002,no,number,\n";
  const auto allowed =
      Run({ZENTREL_DB_TOOL, "import", Path("in.csv"), "--db", Path("vp.mdb"), "--allow-unpageable"},
          {});
  EXPECT_EQ(allowed.status, 0) << allowed.err;
  EXPECT_TRUE(
      Has(allowed.err, "line 2: the PIN is empty; imported all the same (--allow-unpageable)"))
      << allowed.err;
  EXPECT_TRUE(Has(allowed.err,
                  "line 3: pagephone cannot be dialled: the phone number is empty; imported "
                  "all the same"))
      << allowed.err;
  const auto deleted = Run({ZENTREL_DB_TOOL, "delete", "1001", "--db", Path("vp.mdb")}, {});
  EXPECT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(deleted.out, "Deleted recipient 1 (Alice Moreno, PIN \"1001\")\n");
  const auto listed = Run({ZENTREL_DB_TOOL, "list", "--db", Path("vp.mdb")}, {});
  EXPECT_FALSE(Has(listed.out, "PIN 1001")) << listed.out;
}

// What other programs stored goes out guarded: a spreadsheet opening the
// export or the log's CSV runs no formula, a terminal showing the log's
// table or the listing receives no escape sequence.
TEST_F(BadFiles, ExportsGuardFormulasAndTheTerminalSeesNoEscapes) {
  // The last is stored as "'=kept": an import takes one guard off.
  const std::string hostile[] = {"=HYPERLINK(A1)", "+1+1", "-2", "@SUM(A1)", "\tTAB", "''=kept"};
  std::string csv = "pin,fname,lname,pagephone\n";
  for (int i = 0; i < 6; ++i) csv += "30" + std::to_string(i) + ",\"" + hostile[i] + "\",x,555\n";
  std::ofstream(dir_ / "in.csv") << csv;
  const auto imported =
      Run({ZENTREL_DB_TOOL, "import", Path("in.csv"), "--db", Path("vp.mdb")}, {});
  ASSERT_EQ(imported.status, 0) << imported.err;
  const auto exported = Run({ZENTREL_DB_TOOL, "export", "--db", Path("vp.mdb")}, {});
  for (const char* cell : {"\n300,'=HYPERLINK(A1),x", "\n301,'+1+1,", "\n302,'-2,",
                           "\n303,'@SUM(A1),", "\n304,'\tTAB,", "\n305,''=kept,"}) {
    EXPECT_TRUE(Has(exported.out, cell)) << cell << " in:\n" << exported.out;
  }
  // The export reads back as it was: an import of it into a new file gives
  // the same export.
  std::ofstream(dir_ / "again.csv") << exported.out;
  ASSERT_EQ(Run({ZENTREL_DB_TOOL, "init", Path("again.mdb")}, {}).status, 0);
  ASSERT_EQ(
      Run({ZENTREL_DB_TOOL, "import", Path("again.csv"), "--db", Path("again.mdb")}, {}).status, 0);
  EXPECT_EQ(Run({ZENTREL_DB_TOOL, "export", "--db", Path("again.mdb")}, {}).out, exported.out);

  {
    PageLog log(Path("pages.db"));
    const auto id = log.Begin({"zentrel-send", "ops", "1001", "=cmd|' /C calc'!A0", "5551234",
                               "\x1b]0;owned\x07\x1b[2Jbell\x7f", "=typed\xc2\x9b\x1b[2J"});
    log.Finish(id, {PageOutcome::kRefused, "@reason", "-terminal"});
  }
  const auto csv_out = Run({ZENTREL_LOG, "--log", Path("pages.db"), "--csv"}, {});
  EXPECT_TRUE(Has(csv_out.out, ",'=cmd|' /C calc'!A0,")) << csv_out.out;
  EXPECT_TRUE(Has(csv_out.out, ",'@reason,'-terminal,")) << csv_out.out;
  EXPECT_TRUE(Has(csv_out.out, ",'=typed\xc2\x9b\x1b[2J\r\n")) << csv_out.out;
  const auto table = Run({ZENTREL_LOG, "--log", Path("pages.db")}, {});
  EXPECT_EQ(table.out.find('\x1b'), std::string::npos) << table.out;
  EXPECT_TRUE(Has(table.out, "\"\\x1b]0;owned\\x07\\x1b[2Jbell\\x7f\"")) << table.out;
  EXPECT_TRUE(Has(table.out, "(typed \"=typed\\u009b\\x1b[2J\")")) << table.out;
  const auto listed = Run({ZENTREL_DB_TOOL, "list", "--db", Path("vp.mdb")}, {});
  EXPECT_TRUE(Has(listed.out, "PIN 304\t\\tTAB x")) << listed.out;
}

}  // namespace
}  // namespace zentrel::e2e
