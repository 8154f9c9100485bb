// Bad input through the real programs: rows that once crashed every reader,
// pages that must be refused before anything is dialled (the emulator's log
// shows no call and the database file is byte for byte unchanged), a
// message cut on a character boundary and announced, a terminal that never
// answers, and the database tool's refusals, each with its exit status and
// the words that name the cause.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class BadInput : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    ASSERT_EQ(Db({"demo", Path("vp.mdb")}).status, 0);
    Write("lines.conf", "modem " + Path("modem") + " ATZ\n");
  }

  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path("vp.mdb").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
  }

  Finished Db(const Args& args, const Args& prefix = {}) {
    Args argv = prefix;
    argv.push_back(ZENTREL_DB_TOOL);
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, {}, 60s);
  }

  Finished Send(const Args& args) {
    Args argv{ZENTREL_SEND, "--db", Path("vp.mdb"), "--wake-interval-ms", "400", "--timeout", "60"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, {"ZENTREL_LINES=" + Path("lines.conf")}, 120s);
  }

  std::unique_ptr<Process> StartModem(const Args& extra = {"--once"}) {
    Args argv{"--link", Path("modem"), "--connect-delay-ms", "20", "--idle-timeout-ms", "500"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return StartEmulator(argv);
  }
};

TEST_F(BadInput, RowsOtherProgramsWroteCrashNoReaderAndStopNoPage) {
  const struct {
    const char* name;
    std::string sql;
  } rows[] = {
      {"empty PIN", "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES('', 'a', 'b', '555')"},
      {"empty first everything",
       "UPDATE VPdata SET pin = '', fname = '', lname = '', "
       "pagephone = '' WHERE id = 1; UPDATE stored SET Message = '' "
       "WHERE id = 1"},
      {"nulls",
       "UPDATE VPdata SET pin = NULL, fname = NULL WHERE id = 1; UPDATE stored SET "
       "Message = NULL WHERE id = 1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    Sql(row.sql);
    for (const char* command : {"list", "export"}) {
      const auto run = Db({command, "--db", Path("vp.mdb")});
      EXPECT_EQ(run.status, 0) << command << ": " << run.err;
      EXPECT_TRUE(Has(run.out, "1002")) << command << ": " << run.out;
    }
    auto modem = StartModem();
    const auto sent = Send({"--pin", "1002", "--message", "hi"});
    EXPECT_EQ(sent.status, 0) << sent.err;
    modem->Wait(30s);
  }
}

TEST_F(BadInput, RefusedPagesDialNothingAndChangeNothing) {
  Sql("INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES ('12345678', 'Long', 'Pin', "
      "'5551234'), ('1003', 'Cr', 'Phone', '5553333' || char(13) || 'AT&F&W')");
  std::ofstream(dir_ / "nul.txt") << std::string("before\0after", 12);
  std::ofstream(dir_ / "big.txt") << std::string(64 * 1024 + 1, 'A');
  std::ofstream(dir_ / "pages.txt") << "1001\ta\n12345678\tb\n";
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  const std::string before = ReadFile(dir_ / "vp.mdb");
  auto modem = StartModem({});  // stays up: any dial would show in its log
  const struct {
    const char* name;
    Args args;
    const char* says;
  } rows[] = {
      {"PIN of 8",
       {"--pin", "12345678", "--message", "hi"},
       "the page would reach PIN \"1234567\" instead"},
      {"CR in the stored number",
       {"--pin", "1003", "--message", "hi"},
       "The phone number holds the control character <CR> (character 8)"},
      {"CR in the number given",
       {"--pin", "1001", "--message", "hi", "--phone", "555\r1"},
       "The phone number holds the control character <CR>"},
      {"CR in a later PIN of one call",
       {"--full-tap", "--pin", "1001", "--pin", "10\r02", "--message", "hi"},
       "The PIN holds the control character <CR> (character 3)"},
      {"PIN of 8 after a good one",
       {"--full-tap", "--pin", "1001", "--pin", "12345678", "--message", "hi"},
       "The PIN \"12345678\" has more than 7 characters"},
      {"PIN of 8 in --page",
       {"--full-tap", "--page", "1001=a", "--page", "12345678=b"},
       "The PIN \"12345678\" has more than 7 characters"},
      {"PIN of 8 in --pages",
       {"--full-tap", "--pages", Path("pages.txt")},
       "The PIN \"12345678\" has more than 7 characters"},
      {"empty PIN", {"--pin", "", "--message", "hi"}, "The PIN is empty; nothing was sent."},
      {"empty PIN in one call",
       {"--full-tap", "--pin", "", "--message", "hi"},
       "The PIN is empty; nothing was sent."},
      {"empty number",
       {"--pin", "1001", "--message", "hi", "--phone", ""},
       "The phone number is empty; nothing was dialled."},
      {"number of 32",
       {"--pin", "1001", "--message", "hi", "--phone", std::string(32, '5')},
       "has 32 characters, more than the 31 a line can dial; nothing was dialled."},
      {"number of 41 in one call",
       {"--full-tap", "--pin", "1001", "--message", "hi", "--phone", std::string(41, '5')},
       "has 41 characters, more than the 31 a line can dial; nothing was dialled."},
      {"ETX in the message",
       {"--pin", "1001", "--message", "a\x03z"},
       "The message holds the control character <ETX> (character 2)"},
      {"missing message file",
       {"--pin", "1001", "--message-file", Path("none.txt")},
       "cannot be read: No such file or directory"},
      {"message file is a folder", {"--pin", "1001", "--message-file", Path("")}, "is a folder"},
      {"message file is a FIFO nobody writes to",
       {"--pin", "1001", "--message-file", Path("fifo")},
       "a FIFO or pipe that nobody writes to; it is not read"},
      {"NUL in the message file",
       {"--pin", "1001", "--message-file", Path("nul.txt")},
       "holds a NUL byte (at byte 7)"},
      {"message file over 64 KiB",
       {"--pin", "1001", "--message-file", Path("big.txt")},
       "is larger than 64 KiB"},
      {"endless message file",
       {"--pin", "1001", "--message-file", "/dev/zero"},
       "is a character device, not a regular file or a pipe"},
  };
  for (const auto& row : rows) {
    const auto sent = Send(row.args);
    EXPECT_EQ(sent.status, 2) << row.name << ": " << sent.err;
    EXPECT_TRUE(Has(sent.err, row.says)) << row.name << ": " << sent.err;
    EXPECT_EQ(sent.out, "") << row.name;
  }
  modem->Terminate();
  modem->Wait(30s);
  EXPECT_TRUE(Events("call").empty()) << "a refused page dialled";
  EXPECT_EQ(ReadFile(dir_ / "vp.mdb"), before);
}

// The euro sign goes as EUR (said first), and the message is then cut at
// the block's 199 bytes, also said first.
TEST_F(BadInput, ALongMessageIsCutOnACharacterAndTheUserIsToldFirst) {
  const std::string euro = "\xE2\x82\xAC";
  auto modem = StartModem();
  const auto sent = Send({"--pin", "1001", "--message", std::string(197, 'A') + euro + "tail"});
  modem->Wait(30s);
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_TRUE(Has(sent.err,
                  "zentrel-send: The line carries plain letters only: " + euro + " goes as EUR.\n"))
      << sent.err;
  EXPECT_TRUE(Has(sent.err,
                  "zentrel-send: The message is longer than a page holds (199 bytes): "
                  "only its first 199 of 204 characters are sent.\n"))
      << sent.err;
  const auto blocks = Events("block");
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_TRUE(blocks[0]["valid"].get<bool>());
  EXPECT_EQ(blocks[0]["message"], std::string(197, 'A') + "EU");
}

TEST_F(BadInput, ATerminalThatNeverAnswersIsReportedAsSuch) {
  auto modem = StartModem({"--once", "--scenario", "slow", "--slow-wakeups", "1000"});
  const auto sent = RunProgram({ZENTREL_SEND, "--db", Path("vp.mdb"), "--pin", "1001", "--message",
                                "hi", "--wake-interval-ms", "100", "--timeout", "1"},
                               {"ZENTREL_LINES=" + Path("lines.conf")}, 60s);
  modem->Wait(30s);
  EXPECT_EQ(sent.status, 1);
  EXPECT_TRUE(Has(sent.err,
                  "page not sent: the terminal did not answer within the time-out "
                  "of 1 s (last step: Preparing to send message...)"))
      << sent.err;
}

TEST_F(BadInput, TheDatabaseToolRefusesWhatWouldHarmAndChangesNothing) {
  const std::string header = "pin,fname,lname,pagephone\n";
  std::ofstream(dir_ / "not-a-db.mdb") << "just text\n";
  const struct {
    const char* name;
    std::string csv;  // imported when not empty, else `export` of `db`
    const char* db;
    int status;
    const char* says;
    bool as_other_user = false;  // the file is read-only to them
  } rows[] = {
      {"export of a text file", "", "not-a-db.mdb", 1, "not-a-db.mdb is a text file"},
      {"export of a missing file", "", "missing.mdb", 1, "missing.mdb cannot be opened"},
      {"CR in a PIN", header + "2001,a,b,5\n\"20\r02\",a,b,5\n", "vp.mdb", 1,
       "line 3: pin holds the control character <CR> (character 3); nothing was imported"},
      {"ESC in a number",
       header + "2001,a,b,5\x1b"
                "1\n",
       "vp.mdb", 1, "line 2: pagephone holds the control character <ESC> (character 2)"},
      {"a PIN twice in the file", header + "2001,a,b,5\n2002,a,b,5\n2001,c,d,6\n", "vp.mdb", 1,
       "line 4: the PIN \"2001\" is already on line 2; nothing was imported"},
      {"a PIN already in the table", header + "2001,a,b,5\n1002,a,b,5\n", "vp.mdb", 1,
       "line 3: the PIN \"1002\" is already in "},
      {"into a read-only file", header + "2001,a,b,5\n", "vp.mdb", 1,
       "vp.mdb is read-only (no write permission); nothing was imported", true},
  };
  fs::permissions(dir_ / "vp.mdb",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = ReadFile(dir_ / "vp.mdb");
  for (const auto& row : rows) {
    Args args{"export", "--db", Path(row.db)};
    if (!row.csv.empty()) {
      std::ofstream(dir_ / "in.csv") << row.csv;
      args = {"import", Path("in.csv"), "--db", Path(row.db)};
    }
    // A read-only file is writable to root: then the import runs as nobody.
    const bool drop = row.as_other_user && getuid() == 0;
    const Args prefix =
        drop ? Args{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
             : Args{};
    if (!row.as_other_user)
      fs::permissions(dir_ / "vp.mdb", fs::perms::owner_write, fs::perm_options::add);
    const auto run = Db(args, prefix);
    fs::permissions(dir_ / "vp.mdb", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err;
    EXPECT_TRUE(Has(run.err, row.says)) << row.name << ": " << run.err;
    EXPECT_FALSE(Has(run.err, "line") && row.as_other_user) << row.name << ": " << run.err;
    EXPECT_EQ(run.out, "") << row.name;
    EXPECT_EQ(ReadFile(dir_ / "vp.mdb"), before) << row.name;
  }
  fs::permissions(dir_ / "vp.mdb", fs::perms::owner_write, fs::perm_options::add);
  std::ofstream(dir_ / "in.csv") << header + "2001,a,b,5\n2001,c,d,6\n1002,e,f,7\n";
  const auto allowed = Db({"import", Path("in.csv"), "--db", Path("vp.mdb"), "--allow-duplicates"});
  EXPECT_EQ(allowed.status, 0) << allowed.err;
  EXPECT_TRUE(Has(allowed.out, "Imported 3 recipients")) << allowed.out;
}

}  // namespace
}  // namespace zentrel::e2e
