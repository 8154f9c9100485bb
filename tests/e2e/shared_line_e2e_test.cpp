// The shared line's turn among users who do not trust each other, end to
// end: another user (a second uid, no account needed) lays traps in the
// folder where the line's turn is taken, then the victim (a third uid) sends
// a page through the emulator. The victim's files stay byte for byte as they
// were; the page goes out, or the victim is told which file or folder was
// refused and why. Runs as root, which alone can take other uids.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kAttacker = 64201;
constexpr int kVictim = 64202;

Args As(int uid, Args argv) {
  const std::string id = std::to_string(uid);
  argv.insert(argv.begin(),
              {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"});
  return argv;
}

class SharedLine : public ScratchTest {
 protected:
  void SetUp() override {
    if (getuid() != 0) GTEST_SKIP() << "taking two other uids needs root";
    ScratchTest::SetUp();
    fs::create_directories(home_ = dir_ / "victim");
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    ASSERT_TRUE(MakeDemoDb("victim/vp.mdb"));
    std::ofstream(home_ / "lines.conf") << "modem " << (dir_ / "modem").string() << " ATZ\n";
    for (const auto& entry : fs::recursive_directory_iterator(home_)) {
      ::chown(entry.path().c_str(), kVictim, kVictim);
    }
    ::chown(home_.c_str(), kVictim, kVictim);
    fs::permissions(home_, fs::perms::owner_all);
  }
  // A folder like /run/lock: root's, sticky, anyone may write.
  fs::path SharedFolder(const std::string& name) {
    const fs::path folder = dir_ / name;
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
    return folder;
  }

  // The name prefix of the line's files, as a sender (here root) makes them.
  std::string LinePrefix(const fs::path& folder) {
    StartModemIfNeeded();
    Send(folder, {}, false);
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::string name = entry.path().filename().string();
      if (name.ends_with(".turn")) {
        fs::remove(entry.path());  // as after a restart: /run/lock is emptied
        return name.substr(0, name.size() - 4);
      }
    }
    ADD_FAILURE() << "no turn file in " << folder;
    return "";
  }

  void StartModemIfNeeded() {
    if (modem_) return;
    modem_ = StartEmulator(
        {"--link", Path("modem"), "--connect-delay-ms", "20", "--idle-timeout-ms", "500"});
  }

  // The emulator links a fresh pty after each call; the victim may use it.
  void OpenThePortToAll() {
    if (Calls() > calls_seen_) {
      ASSERT_NE(modem_->WaitForLine("ready ", 30s), "");
    }
    calls_seen_ = Calls();
    const auto rw = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(fs::canonical(dir_ / "modem"),
                    rw | fs::perms::group_read | fs::perms::group_write | fs::perms::others_read |
                        fs::perms::others_write);
  }

  Finished Send(const fs::path& lock_folder, const Args& extra, bool as_victim = true) {
    Args argv{ZENTREL_SEND,
              "--db",
              (home_ / "vp.mdb").string(),
              "--pin",
              "1001",
              "--message",
              "to the victim's pager",
              "--wake-interval-ms",
              "400",
              "--timeout",
              "30"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const Args env{"ZENTREL_LINES=" + (home_ / "lines.conf").string(),
                   "ZENTREL_LOCK_DIR=" + lock_folder.string(),
                   "ZENTREL_PAGE_LOG=" + (home_ / "pages.db").string()};
    OpenThePortToAll();
    return RunProgram(as_victim ? As(kVictim, argv) : argv, env, 60s);
  }

  int Calls() const { return static_cast<int>(Events("call").size()); }

  fs::path home_;
  std::unique_ptr<Process> modem_;
  int calls_seen_ = 0;
};

TEST_F(SharedLine, AnotherUsersTrapsNeitherHarmTheVictimsFilesNorStopThePage) {
  const fs::path locks = SharedFolder("locks");
  const std::string prefix = LinePrefix(locks);
  const std::string db = (home_ / "vp.mdb").string();
  const struct {
    const char* name;
    std::string attack;  // run as the other user, in the lock folder
    fs::path folder;     // the lock folder the victim is given
    int status;
    std::string says;  // "" when the page simply goes out
  } rows[] = {
      {"tickets that are links to the victim's database and a FIFO",
       "ln -s " + db + " " + prefix + "ticket-0000000000000000001; ln -s " + db + " " + prefix +
           "ticket-0000000000000000002; mkfifo " + prefix + "ticket-0000000000000000003",
       locks, 0, ""},
      {"the turn file a link to the victim's database", "ln -s " + db + " " + prefix + "turn",
       locks, 0, "turn is a symbolic link; it is not followed; not waiting in turn for the line"},
      {"a lock folder the other user made", "mkdir -m 777 mine", locks / "mine", 0,
       "the folder " + (locks / "mine").string() + " belongs to uid 64201, not to you"},
  };
  for (const auto& row : rows) {
    for (const auto& entry : fs::directory_iterator(locks)) fs::remove_all(entry.path());
    const std::string before = ReadFile(home_ / "vp.mdb");
    const auto laid = RunProgram(
        As(kAttacker, {"/bin/sh", "-c", "cd " + locks.string() + " && " + row.attack}), {}, 30s);
    ASSERT_EQ(laid.status, 0) << row.name << ": " << laid.err;
    const int calls = Calls();
    const auto sent = Send(row.folder, {});
    EXPECT_EQ(sent.status, row.status) << row.name << ": " << sent.err;
    EXPECT_NE(sent.err.find(row.says), std::string::npos) << row.name << ": " << sent.err;
    EXPECT_EQ(Calls(), calls + 1) << row.name;
    EXPECT_EQ(ReadFile(home_ / "vp.mdb"), before) << row.name;
  }
}

TEST_F(SharedLine, ATicketAnotherUserHoldsIsWaitedForThenNamedNothingDialled) {
  const fs::path locks = SharedFolder("locks");
  const std::string ticket = (locks / (LinePrefix(locks) + "ticket-0000000000000000001")).string();
  // The other user's ticket, locked and kept by a process that waits until
  // it is ended.
  Process holder(As(
      kAttacker, {"/bin/sh", "-c",
                  "exec 9>>" + ticket + " && flock -x 9 && echo held && exec tail -f /dev/null"}));
  ASSERT_NE(holder.WaitForLine("held", 30s), "");
  const int calls = Calls();
  const std::string before = ReadFile(home_ / "vp.mdb");
  const auto sent = Send(locks, {"--wait", "1"});
  EXPECT_EQ(sent.status, 1) << sent.err;
  EXPECT_NE(sent.err.find("the line stayed in use for 1 seconds"), std::string::npos) << sent.err;
  EXPECT_EQ(Calls(), calls) << "nothing dialled while another held the turn";
  EXPECT_EQ(ReadFile(home_ / "vp.mdb"), before);
}

}  // namespace
}  // namespace zentrel::e2e
