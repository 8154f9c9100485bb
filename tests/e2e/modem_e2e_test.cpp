// Real-modem behaviours end to end: zentrel-send against the emulated modem
// in each of its modem scenarios (stored profile with echo and numeric codes,
// both spellings of no dial tone, DELAYED, CONNECT with suffixes, parity in
// bit 7), a port held by another process, a sender interrupted or killed in
// the middle of a call, and two senders on one modem.
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "seriallink/tty_port_lock.h"
#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ModemEndToEnd : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(MakeDemoDb());
    Write("lines.conf", "modem " + Modem() + "\n");
  }

  std::string Modem() const { return Path("modem"); }
  std::vector<std::string> Env(const std::string& lines = "lines.conf") const {
    return {"ZENTREL_LINES=" + Path(lines), "ZENTREL_LOCK_DIR=" + Path("queue")};
  }

  std::unique_ptr<Process> StartModem(const std::string& scenario, const char* delay_ms = "50",
                                      const std::string& name = "modem") {
    return StartEmulator({"--link", Path(name), "--scenario", scenario, "--once",
                          "--connect-delay-ms", delay_ms, "--idle-timeout-ms", "500"},
                         name == "modem" ? "sim.log" : name + ".log");
  }

  std::vector<std::string> SendArgs() const {
    return {ZENTREL_SEND, "--db",  Path("vp.mdb"), "--wake-interval-ms", "400",         "--timeout",
            "15",         "--pin", "1001",         "--message",          "Pump 3 down", "--trace"};
  }
  Finished Send(const std::string& lines = "lines.conf") {
    return RunProgram(SendArgs(), Env(lines), 25s);
  }
  std::string LockPath() const { return LockPathFor(Modem(), Locks()); }
};

TEST_F(ModemEndToEnd, EachModemScenario) {
  struct Row {
    const char* scenario;
    int status;
    const char* said;  // on standard error
  };
  const Row rows[] = {
      {"echo-numeric", 0, ""},
      {"no-dial-tone", 1, "page not sent: No Dial Tone"},
      {"no-dialtone", 1, "page not sent: No Dial Tone"},
      {"delayed", 1, "the dial command answered \"DELAYED\""},
      {"connect-suffix", 0, "CONNECT 1200/ARQ/V42BIS"},
      {"parity", 0, ""},
  };
  for (const Row& row : rows) {
    auto modem = StartModem(row.scenario);
    const Finished sent = Send();
    EXPECT_EQ(sent.status, row.status) << row.scenario << "\n" << sent.err;
    EXPECT_NE(sent.err.find(row.said), std::string::npos) << row.scenario << "\n" << sent.err;
    if (row.status == 0) {
      EXPECT_NE(sent.out.find("Message Sent!"), std::string::npos) << row.scenario;
    }
    modem->Wait(10s);
  }
}

// A modem that never answers its set-up on line 1 does not end the send:
// line 2 is tried and carries the page. Alone, it ends the send with what
// it did, not "Unknown reason". Nothing is ever dialled on it.
TEST_F(ModemEndToEnd, AModemThatNeverAnswersItsSetUpIsPassedOver) {
  const std::string silent = (dir_ / "silent").string();
  const std::string skipped =
      "line 1 (modem " + silent +
      ") skipped: the modem did not set up: ATZ got no answer within 300 ms";
  struct Row {
    const char* name;
    bool good_second_line;
    int status;
  };
  const Row rows[] = {{"silent line 1, good line 2", true, 0}, {"silent line alone", false, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(dir_ / "silent.log");
    fs::remove(dir_ / "sim.log");
    auto dead = StartModem("dead-modem", "50", "silent");
    std::unique_ptr<Process> good = row.good_second_line ? StartModem("accept") : nullptr;
    Write("two.conf", "modem " + silent + " --answer-ms=300 ATZ\n" +
                          (row.good_second_line ? "modem " + Modem() + "\n" : ""));
    const Finished sent = Send("two.conf");
    EXPECT_EQ(sent.status, row.status) << sent.err;
    EXPECT_NE(sent.err.find(skipped), std::string::npos) << sent.err;
    EXPECT_EQ(sent.err.find("Unknown reason"), std::string::npos) << sent.err;
    EXPECT_EQ(sent.out.find("Message Sent!") != std::string::npos, row.good_second_line)
        << sent.out;
    if (good) {
      EXPECT_EQ(good->Wait(10s).status, 0);
    }
    dead->Terminate();
    std::ifstream log(dir_ / "silent.log");
    const std::string events((std::istreambuf_iterator<char>(log)),
                             std::istreambuf_iterator<char>());
    EXPECT_EQ(events.find("\"call\""), std::string::npos) << events;
  }
}

// The port is locked by a live process (here the emulator itself): the
// sender names it and never writes to the modem.
TEST_F(ModemEndToEnd, PortHeldByAnotherProcessIsNamed) {
  auto modem = StartModem("accept");
  char pid[16];
  std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(modem->pid()));
  std::ofstream(LockPath()) << pid;
  std::vector<std::string> args = SendArgs();
  args.insert(args.end(), {"--wait", "0"});
  const Finished sent = RunProgram(args, Env(), 20s);
  fs::remove(LockPath());
  EXPECT_EQ(sent.status, 1) << sent.err;
  EXPECT_NE(
      sent.err.find("is in use by process " + std::to_string(modem->pid()) + " (zentrel-modemsi"),
      std::string::npos)
      << sent.err;
  std::ifstream log(dir_ / "sim.log");
  const std::string events((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_EQ(events.find("\"rx\""), std::string::npos) << events;
}

// SIGTERM while dialling: the call is hung up, the lock removed, and the
// user told; SIGKILL leaves a lock that the next sender sees is stale.
TEST_F(ModemEndToEnd, InterruptedOrKilledSenderLeavesTheLineUsable) {
  {
    auto modem = StartModem("accept", "10000");
    Process sender(SendArgs(), Env());
    ASSERT_TRUE(sender.WaitForErrText("Dialing\n", 10s)) << "no dial";
    const std::string lock = LockPath();
    ASSERT_TRUE(fs::exists(lock));
    sender.Signal(SIGTERM);
    const Finished ended = sender.Wait(15s);
    EXPECT_EQ(ended.status, 1) << ended.err;
    EXPECT_NE(ended.err.find("page not sent: interrupted by SIGTERM; the call was ended"),
              std::string::npos)
        << ended.err;
    EXPECT_NE(ended.err.find("hanging up"), std::string::npos) << ended.err;
    EXPECT_FALSE(fs::exists(lock));
    modem->Wait(10s);
  }
  {
    auto modem = StartModem("accept", "10000");
    Process sender(SendArgs(), Env());
    ASSERT_TRUE(sender.WaitForErrText("Dialing\n", 10s)) << "no dial";
    const std::string lock = LockPath();  // the emulator's next pty has another
    sender.Signal(SIGKILL);
    sender.Wait(10s);
    EXPECT_TRUE(fs::exists(lock));  // left behind by the killed sender
    modem->Wait(10s);
  }
  auto modem = StartModem("accept");
  const Finished sent = Send();
  EXPECT_EQ(sent.status, 0) << sent.err;
  modem->Wait(10s);
}

// Two senders with their own queues on one modem: while one has the port,
// the other is refused with the holder's name and never talks to the modem.
TEST_F(ModemEndToEnd, TwoSendersNeverBothTalkToTheModem) {
  Write("other.conf", "modem " + Modem() + "\n");
  auto modem = StartModem("accept", "3000");
  Process first(SendArgs(), Env());
  ASSERT_TRUE(first.WaitForErrText("Dialing\n", 10s)) << "no dial";
  std::vector<std::string> args = SendArgs();
  args.insert(args.end(), {"--wait", "0"});
  const Finished second = RunProgram(args, Env("other.conf"), 20s);
  EXPECT_EQ(second.status, 1) << second.err;
  EXPECT_NE(second.err.find("is in use by process " + std::to_string(first.pid())),
            std::string::npos)
      << second.err;
  const Finished done = first.Wait(20s);
  EXPECT_EQ(done.status, 0) << done.err;
  modem->Wait(10s);
  std::ifstream log(dir_ / "sim.log");
  int calls = 0;
  for (std::string line; std::getline(log, line);)
    calls += line.find("\"call\"") != std::string::npos;
  EXPECT_EQ(calls, 1);
}

// A terminal that hangs up after its goodbye has ended the call: the port's
// hang-up confirms it, so an accepted page prints nothing on standard error
// (that hang-up used to race the sender's own, which then often said the
// modem "may still hold the telephone line"). One emulator serves every page,
// lingering for the sender to read as it does in the demo.
TEST_F(ModemEndToEnd, AcceptedPagesPrintNothingOnStandardError) {
  auto modem = StartEmulator({"--link", Modem(), "--scenario", "accept", "--connect-delay-ms", "50",
                              "--idle-timeout-ms", "500"});
  for (int page = 1; page <= 4; ++page) {
    const Finished sent =
        RunProgram({ZENTREL_SEND, "--db", (dir_ / "vp.mdb").string(), "--timeout", "15", "--pin",
                    "1001", "--message", "Pump 3 down", "--full-tap"},
                   Env(), 25s);
    EXPECT_EQ(sent.status, 0) << "page " << page << "\n" << sent.err;
    EXPECT_EQ(std::count(sent.err.begin(), sent.err.end(), '\n'), 0) << "page " << page << "\n"
                                                                     << sent.err;
  }
  modem->Terminate();
}

}  // namespace
}  // namespace zentrel::e2e
