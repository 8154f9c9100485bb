// The modem line driver through the line operations, on a pseudo-terminal
// whose other end the test plays as the modem: init, dial, each answer,
// silence, junk, the hand-over of the port and the hang-up after connect.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "seriallink/trace.h"
#include "telephony/configured_line_driver.h"
#include "telephony/event_dispatch.h"
#include "telephony/hayes_call.h"
#include "telephony/line_problems.h"
#include "telephony/line_service.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 10s;  // only ever waited out when a test fails

struct Event {
  DWORD device, message, p1, p2;
};
std::vector<Event> g_events;  // written on the test thread by the queue

void RecordEvent(DWORD device, DWORD message, DWORD, DWORD p1, DWORD p2, DWORD) {
  g_events.push_back({device, message, p1, p2});
}

int CountEntries(const char* dir) {
  const std::filesystem::directory_iterator it(dir);
  return static_cast<int>(std::distance(begin(it), end(it)));
}

class HayesDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int slave = -1;
    ASSERT_EQ(::openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
    port_ = ::ttyname(slave);
    ::close(slave);
    config_ = std::filesystem::temp_directory_path() /
              ("zt_hayes_" + std::to_string(::getpid()) + ".conf");
    locks_ =
        std::filesystem::temp_directory_path() / ("zt_hayes_locks_" + std::to_string(::getpid()));
    std::filesystem::create_directories(locks_);
    std::ofstream(config_) << "# the test's modem\nmodem " << port_ << "\n";
    g_events.clear();
    SetEventDispatcher(&queue_);
    UseDriver(10s);
  }
  void TearDown() override {
    SetEventDispatcher(nullptr);
    SetLineDriver(nullptr);
    if (master_ >= 0) ::close(master_);
    std::filesystem::remove(config_);
    std::filesystem::remove_all(locks_);
  }
  void UseDriver(std::chrono::milliseconds dial_timeout,
                 std::chrono::milliseconds command_timeout = 5s) {
    LineSettings settings;
    settings.modem = {.command_timeout = command_timeout,
                      .dial_timeout = dial_timeout,
                      .escape_guard = 5ms,
                      .dtr_hold = 5ms,
                      .hangup_wait = 20ms,
                      .watch_interval = 50ms,
                      .line_end_grace = 100ms,
                      .after_init = 1ms};
    settings.tty.lock_folder = locks_.string();
    SetLineDriver(std::make_shared<ConfiguredLineDriver>([path = config_.string()] { return path; },
                                                         settings));
  }

  // Checks `device`, the modem answering the check's INIT with `answer`
  // (nothing when empty); the negotiation's result.
  LONG Negotiate(DWORD device, const std::string& answer = "\r\nOK\r\n") {
    std::thread modem([&] {
      EXPECT_EQ(ModemReads("\r"), "ATZ\r");
      if (!answer.empty()) ModemSays(answer);
    });
    LINEEXTENSIONID ext{};
    const LONG result = lineNegotiateAPIVersion(app_, device, 0x10003, 0x10004, &version_, &ext);
    modem.join();
    return result;
  }
  // Registers, opens line 0 (the check's INIT answered OK) and dials; the
  // modem has not answered the call's settings yet.
  void StartCall(const char* number) {
    DWORD count = 0;
    ASSERT_EQ(lineInitialize(&app_, nullptr, RecordEvent, "test", &count), 0);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(Negotiate(0), 0);
    ASSERT_EQ(lineOpen(app_, 0, &line_, version_, 0, 0, LINECALLPRIVILEGE_NONE, 0, nullptr), 0);
    ASSERT_GT(lineMakeCall(line_, &call_, number, 0, nullptr), 0);
    ASSERT_NE(call_, 0u);
  }
  // The settings answered OK (the check had the INIT), the dial command
  // read; returns it.
  std::string PassInit() {
    EXPECT_EQ(ModemReads("\r"), std::string(kHayesSettings) + "\r");
    ModemSays("\r\nOK\r\n");
    return ModemReads("\r");
  }
  // The call is still off hook: a drop ends it with `hang_up` and an OK.
  void DropAndEndCall(const std::string& hang_up, const std::string& answer = "\r\nOK\r\n") {
    lineDrop(call_, nullptr, 0);
    const std::string read = ModemReads("ATH\r");
    EXPECT_EQ(read.substr(0, hang_up.size()), hang_up);
    ModemSays(answer);
    EXPECT_TRUE(AwaitState(LINECALLSTATE_IDLE));
    EndCall();
  }
  void EndCall() {
    lineDrop(call_, nullptr, 0);
    EXPECT_EQ(lineDeallocateCall(call_), 0);
    EXPECT_EQ(lineClose(line_), 0);
    EXPECT_EQ(lineShutdown(app_), 0);
  }

  // What the driver wrote, up to and including `end`.
  std::string ModemReads(const char* end) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (got.find(end) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      char c;
      if (::poll(&p, 1, 100) == 1 && (p.revents & POLLIN) && ::read(master_, &c, 1) == 1) {
        got.push_back(c);
      }
    }
    return got;
  }
  void ModemSays(const std::string& text) {
    ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Pumps events until the call reports `state`; false if it never does.
  bool AwaitState(DWORD state, DWORD* detail = nullptr) {
    for (std::size_t seen = 0;;) {
      for (; seen < g_events.size(); ++seen) {
        const Event& e = g_events[seen];
        if (e.message == LINE_CALLSTATE && e.device == call_ && e.p1 == state) {
          if (detail) *detail = e.p2;
          return true;
        }
      }
      if (!queue_.RunOne(kPatience)) return false;
    }
  }
  std::int32_t GetCommHandle(LONG expected) {  // -1 unless the port is handed over
    alignas(4) char block[64] = {};
    auto* id = reinterpret_cast<VARSTRING*>(block);
    id->dwTotalSize = sizeof(VARSTRING);  // too small: only the size comes
    EXPECT_EQ(lineGetID(0, 0, call_, LINECALLSELECT_CALL, id, "comm/datamodem"), expected);
    EXPECT_LE(id->dwNeededSize, sizeof block);
    id->dwTotalSize = sizeof block;
    EXPECT_EQ(lineGetID(0, 0, call_, LINECALLSELECT_CALL, id, "comm/datamodem"), expected);
    std::int32_t fd = -1;
    if (expected == 0) std::memcpy(&fd, block + id->dwStringOffset, 4);
    return fd;
  }

  int master_ = -1;
  std::string port_;
  std::filesystem::path config_;
  std::filesystem::path locks_;
  PumpedQueue queue_;
  HLINEAPP app_ = 0;
  DWORD version_ = 0;
  HLINE line_ = 0;
  HCALL call_ = 0;
};

TEST_F(HayesDriverTest, DialAnswers) {
  struct Row {
    const char* answer;
    DWORD state;
    DWORD detail;
  };
  const Row rows[] = {
      {"\r\nBUSY\r\n", LINECALLSTATE_BUSY, LINEBUSYMODE_STATION},
      {"\r\nNO CARRIER\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE},
      {"\r\nNO ANSWER\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER},
      {"\r\nNO DIALTONE\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE},
      {"\r\nERROR\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN},
      {"\r\nNO DIAL TONE\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE},
      {"\r\nDELAYED\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL},
      {"\r\nBLACKLISTED\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL},
      {"\r\nVOICE\r\n", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_INCOMPATIBLE},
      {"6\r", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE},  // numeric, CR only
      {"\r\nB\xd5SY\r\n", LINECALLSTATE_BUSY, LINEBUSYMODE_STATION},       // parity in bit 7
      {"ATDT5551234\r\r\n\x01\x02 garbage\r\nRING\r\nCONNECT 300\r\n", LINECALLSTATE_CONNECTED, 0},
      {"2\r10\r", LINECALLSTATE_CONNECTED, 0},  // numeric RING, then CONNECT 2400
  };
  TraceCapture trace;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.answer);
    g_events.clear();
    StartCall("5551234");
    EXPECT_EQ(PassInit(), "ATDT5551234\r");
    EXPECT_TRUE(AwaitState(LINECALLSTATE_DIALING));
    ModemSays(row.answer);
    DWORD detail = 0xFFFF;
    EXPECT_TRUE(AwaitState(row.state, &detail));
    EXPECT_EQ(detail, row.detail);
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    EXPECT_EQ(lineGetCallStatus(call_, &status), 0);
    EXPECT_EQ(status.dwCallState, row.state);
    if (row.state == LINECALLSTATE_CONNECTED) {
      DropAndEndCall("+++");  // a pseudo-terminal has no DTR
    } else {
      EndCall();
    }
  }
  EXPECT_TRUE(trace.Contains("Modem on " + port_ + ": ignored \"<01><02> garbage\"\n"));
  EXPECT_TRUE(trace.Contains("Modem on " + port_ + ": the dial command answered \"DELAYED\"\n"));
  EXPECT_TRUE(trace.Contains("Modem on " + port_ + ": CONNECT 2400\n"));
}

// A modem that refuses the settings as one command gets them one by one,
// and the call goes on without the part it refuses.
TEST_F(HayesDriverTest, RefusedSettingsAreSentOneByOne) {
  TraceCapture trace;
  StartCall("5551234");
  EXPECT_EQ(ModemReads("\r"), std::string(kHayesSettings) + "\r");
  ModemSays("\r\nERROR\r\n");
  for (const char* part : {"ATE0", "ATV1", "ATQ0", "ATX4", "AT&C1", "AT&D2"}) {
    EXPECT_EQ(ModemReads("\r"), std::string(part) + "\r");
    ModemSays(std::string(part) == "ATX4" ? "\r\nERROR\r\n" : "\r\nOK\r\n");
  }
  EXPECT_EQ(ModemReads("\r"), "ATDT5551234\r");
  ModemSays("\r\nBUSY\r\n");
  EXPECT_TRUE(AwaitState(LINECALLSTATE_BUSY));
  EndCall();
  EXPECT_TRUE(
      trace.Contains("Modem on " + port_ + ": the modem refused ATX4; going on without it\n"));
}

// A result that comes with the hang-up is read before the hang-up counts.
TEST_F(HayesDriverTest, ResultWithTheHangUpIsReadFirst) {
  StartCall("5551234");
  ASSERT_EQ(PassInit(), "ATDT5551234\r");
  ModemSays("\r\nBUSY");  // no line end: the modem hangs up at once
  // A pty drops unread input when it hangs up, so wait until it was read.
  const int peek = ::open(port_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  for (int pending = 1; pending > 0;) {
    pollfd p{peek, POLLIN, 0};
    if (::poll(&p, 1, 10) == 0 || ::ioctl(peek, FIONREAD, &pending) != 0) pending = 0;
  }
  ::close(peek);
  ::close(master_);
  master_ = -1;
  DWORD detail = 0;
  EXPECT_TRUE(AwaitState(LINECALLSTATE_BUSY, &detail));
  EndCall();
}

// Numbers a dial command cannot carry are refused before the modem hears
// anything, and the reason is kept for the user.
TEST_F(HayesDriverTest, UnsafeNumberIsRefusedBeforeDialling) {
  DWORD count = 0;
  ASSERT_EQ(lineInitialize(&app_, nullptr, RecordEvent, "test", &count), 0);
  ASSERT_EQ(Negotiate(0), 0);
  ASSERT_EQ(lineOpen(app_, 0, &line_, version_, 0, 0, LINECALLPRIVILEGE_NONE, 0, nullptr), 0);
  TakeLineProblems();
  EXPECT_EQ(lineMakeCall(line_, &call_, "555;AT&F&W", 0, nullptr), LINEERR_INVALADDRESS);
  const auto problems = TakeLineProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].kind, LineProblemKind::kBadNumber);
  EXPECT_NE(problems[0].cause.find("a ';'"), std::string::npos) << problems[0].cause;
  pollfd p{master_, POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0);  // nothing was written
  EXPECT_EQ(lineClose(line_), 0);
  EXPECT_EQ(lineShutdown(app_), 0);
}

// Lines that cannot be used fail the negotiation (so the program's scan
// goes on), each with its reason; the usable one after them is chosen.
TEST_F(HayesDriverTest, UnusableLinesAreSkippedWithTheirReasons) {
  using K = LineProblemKind;
  struct Row {
    std::string port;
    K kind;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"/nonexistent/ttyUSB9", K::kMissingPort,
       "line 1 (modem /nonexistent/ttyUSB9) skipped: there is no port /nonexistent/ttyUSB9"},
      {"/dev/null", K::kNotSerialPort,
       "line 2 (modem /dev/null) skipped: /dev/null is not a serial port"},
      {locks_.string(), K::kNotSerialPort,
       "line 3 (modem " + locks_.string() + ") skipped: " + locks_.string() +
           " is a folder, not a serial port"},
      // A tty, but every open makes a new master that nobody answers on.
      {"/dev/ptmx", K::kNotSerialPort,
       "line 4 (modem /dev/ptmx) skipped: /dev/ptmx is not a serial port"},
  };
  std::ofstream config(config_);
  for (const Row& row : rows) config << "modem " << row.port << "\n";
  config << "modem " << port_ << "\n";
  config.close();
  DWORD count = 0, version = 0;
  TakeLineProblems();
  ASSERT_EQ(lineInitialize(&app_, nullptr, RecordEvent, "test", &count), 0);
  ASSERT_EQ(count, rows.size() + 1);
  LINEEXTENSIONID ext{};
  for (DWORD device = 0; device < rows.size(); ++device)
    EXPECT_EQ(lineNegotiateAPIVersion(app_, device, 0x10003, 0x10004, &version, &ext),
              LINEERR_NODEVICE)
        << rows[device].port;
  EXPECT_EQ(Negotiate(rows.size()), 0);
  const std::vector<LineProblem> problems = TakeLineProblems();
  ASSERT_EQ(problems.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(problems[i].kind, rows[i].kind) << rows[i].port;
    EXPECT_TRUE(problems[i].skipped) << rows[i].port;
    EXPECT_EQ(problems[i].Text(), rows[i].text);
  }
  EXPECT_EQ(lineShutdown(app_), 0);
}

TEST_F(HayesDriverTest, ConnectHandsThePortOverAndHangUpEndsTheCall) {
  StartCall("9,555-1234");
  ASSERT_EQ(PassInit(), "ATDT9,555-1234\r");
  ModemSays("\r\nCONNECT 300\r\nID=");  // the terminal speaks at once
  ASSERT_TRUE(AwaitState(LINECALLSTATE_CONNECTED));
  const std::int32_t fd = GetCommHandle(0);
  ASSERT_GE(fd, 0);
  // The bytes after CONNECT's line are the link's, not the driver's.
  std::string link_reads;
  while (link_reads.size() < 3) {
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    char buf[8];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) link_reads.append(buf, n);
  }
  EXPECT_EQ(link_reads, "ID=");

  ::close(master_);  // the modem hangs up
  master_ = -1;
  DWORD detail = 0;
  ASSERT_TRUE(AwaitState(LINECALLSTATE_DISCONNECTED, &detail));
  EXPECT_EQ(detail, LINEDISCONNECTMODE_NORMAL);
  ::close(fd);
  EndCall();
}

TEST_F(HayesDriverTest, SilentModemEndsTheCallWithATrace) {
  UseDriver(100ms);
  TraceCapture trace;
  StartCall("5551234");
  ASSERT_EQ(PassInit(), "ATDT5551234\r");
  DWORD detail = 0;
  ASSERT_TRUE(AwaitState(LINECALLSTATE_DISCONNECTED, &detail));
  EXPECT_EQ(detail, LINEDISCONNECTMODE_UNKNOWN);
  EXPECT_TRUE(
      trace.Contains("Modem on " + port_ + ": no answer to the dial command within 100 ms\n"));
  DropAndEndCall("\rATH\r");
}

TEST_F(HayesDriverTest, DropWhileDialingStopsTheDialAndHangsUp) {
  TraceCapture trace;
  StartCall("5551234");
  ASSERT_EQ(PassInit(), "ATDT5551234\r");
  ASSERT_TRUE(AwaitState(LINECALLSTATE_DIALING));
  GetCommHandle(LINEERR_INVALCALLSTATE);  // no port to hand over before CONNECT
  DropAndEndCall("\rATH\r", "\r\nNO CARRIER\r\n\r\nOK\r\n");
  EXPECT_TRUE(trace.Contains("Modem on " + port_ + ": hung up: the modem answered OK to ATH\n"));
}

// A modem that does not answer its INIT with OK fails the line's check, so
// the next line is tried, and the user learns why, not "Unknown reason".
TEST_F(HayesDriverTest, ModemThatDoesNotSetUpIsSkipped) {
  using K = LineProblemKind;
  struct Row {
    const char* answer;
    K kind;
    std::string said;
  };
  const Row rows[] = {
      {"\r\nERROR\r\n", K::kBadAnswer, "ATZ answered \"ERROR\""},
      {"", K::kNoAnswer, "ATZ got no answer within 100 ms"},
      {"\r\n\x01garbage\r\n", K::kBadAnswer,
       "ATZ got no answer within 100 ms (only \"<01>garbage\")"},
  };
  UseDriver(10s, 100ms);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.said);
    DWORD count = 0;
    ASSERT_EQ(lineInitialize(&app_, nullptr, RecordEvent, "test", &count), 0);
    TakeLineProblems();
    EXPECT_EQ(Negotiate(0, row.answer), LINEERR_NODEVICE);
    const std::vector<LineProblem> problems = TakeLineProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].kind, row.kind);
    EXPECT_EQ(problems[0].Text(),
              "line 2 (modem " + port_ + ") skipped: the modem did not set up: " + row.said);
    EXPECT_EQ(lineShutdown(app_), 0);
  }
}

// A modem that answers the INIT but not the settings after it ends the call
// with the command it did not answer.
TEST_F(HayesDriverTest, SettingsUnansweredSayWhich) {
  UseDriver(10s, 100ms);
  StartCall("5551234");
  TakeLineProblems();
  EXPECT_EQ(ModemReads("\r"), std::string(kHayesSettings) + "\r");
  DWORD detail = 0;
  ASSERT_TRUE(AwaitState(LINECALLSTATE_DISCONNECTED, &detail));
  EXPECT_EQ(detail, LINEDISCONNECTMODE_UNKNOWN);
  const std::vector<LineProblem> problems = TakeLineProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].kind, LineProblemKind::kNoAnswer);
  EXPECT_EQ(problems[0].cause, "the modem on " + port_ + " did not set up: " +
                                   std::string(kHayesSettings) + " got no answer within 100 ms");
  EndCall();
}

TEST_F(HayesDriverTest, DevicesAndCapabilities) {
  DWORD count = 0, version = 0;
  ASSERT_EQ(lineInitialize(&app_, nullptr, RecordEvent, "test", &count), 0);
  LINEEXTENSIONID ext{};
  EXPECT_EQ(lineNegotiateAPIVersion(app_, 0, 0x20000, 0x20001, &version, &ext),
            LINEERR_INCOMPATIBLEAPIVERSION);
  ASSERT_EQ(Negotiate(0), 0);
  version = version_;
  EXPECT_EQ(version, 0x10004u);
  alignas(4) char block[1264] = {};
  auto* caps = reinterpret_cast<LINEDEVCAPS*>(block);
  caps->dwTotalSize = sizeof block;
  ASSERT_EQ(lineGetDevCaps(app_, 0, version, 0, caps), 0);
  EXPECT_EQ(std::string(block + caps->dwLineNameOffset), "Modem on " + port_);
  EXPECT_EQ(caps->dwBearerModes, LINEBEARERMODE_VOICE);
  EXPECT_EQ(caps->dwLineFeatures, LINEFEATURE_MAKECALL);
  EXPECT_EQ(caps->dwMediaModes, LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM);
  EXPECT_EQ(lineShutdown(app_), 0);

  std::ofstream(config_) << "modem " << port_ << "\nmodme x\n";
  TraceCapture trace;
  count = 0;
  EXPECT_EQ(lineInitialize(&app_, nullptr, RecordEvent, "test", &count), LINEERR_INIFILECORRUPT);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(
      trace.Contains("Line devices: the device list " + config_.string() +
                     " line 2: unknown device type \"modme\" (modem, serial, tcp, tls or wctp)\n"));
}

// The program registers anew for every send and keeps the registrations:
// calls and lines must give back their threads and descriptors.
TEST_F(HayesDriverTest, ManyCallsLeakNothing) {
  const int fds_before = CountEntries("/proc/self/fd");
  const int threads_before = CountEntries("/proc/self/task");
  for (int i = 0; i < 8; ++i) {
    g_events.clear();
    StartCall("5551234");
    PassInit();
    ModemSays("\r\nBUSY\r\n");
    ASSERT_TRUE(AwaitState(LINECALLSTATE_BUSY)) << "call " << i;
    lineDrop(call_, nullptr, 0);
    ASSERT_EQ(lineDeallocateCall(call_), 0);
    ASSERT_EQ(lineClose(line_), 0);
    queue_.RunPending();
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds_before);
  // A thread just joined can stay listed for a moment, so allow one; a call
  // that kept its thread would leave eight.
  EXPECT_LE(CountEntries("/proc/self/task"), threads_before + 1);
}

}  // namespace
}  // namespace zentrel
