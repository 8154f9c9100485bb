// The modem driver where a real port differs from a pty: its modem-control
// lines. The call runs on a pty (the test plays the modem's words on the
// other end) with scripted lines: DCD up or not at CONNECT, lost mid-call,
// and what the modem does when DTR falls; then, if that does not confirm the
// hang-up, what it answers to the escape and ATH. The user is warned that
// the line may still be held exactly when nothing confirmed the hang-up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <utility>

#include "fake_modem_lines.h"
#include "seriallink/trace.h"
#include "telephony/hayes_call.h"
#include "telephony/line_problems.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
constexpr auto kPatience = 10s;  // only ever waited out when a test fails

// The modem's side of the pty.
class ModemEnd {
 public:
  explicit ModemEnd(int fd) : fd_(fd) {}
  // What the driver wrote, up to and including `end`.
  std::string Reads(const std::string& end) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (got.find(end) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      char c;
      if (::poll(&p, 1, 100) == 1 && ::read(fd_, &c, 1) == 1) got.push_back(c);
    }
    return got;
  }
  std::string Pending() {
    std::string got;
    char c;
    for (pollfd p{fd_, POLLIN, 0}; ::poll(&p, 1, 0) == 1 && ::read(fd_, &c, 1) == 1;) got += c;
    return got;
  }
  void Says(const std::string& text) { (void)!::write(fd_, text.data(), text.size()); }

 private:
  int fd_;
};

// The call's reported states, from the call's thread.
class States {
 public:
  void Add(DWORD state, DWORD detail) {
    std::lock_guard lock(mutex_);
    seen_.push_back({state, detail});
    changed_.notify_all();
  }
  bool Await(DWORD state, DWORD* detail = nullptr) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
      for (const auto& [s, d] : seen_)
        if (s == state) return detail ? (*detail = d, true) : true;
      return false;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<DWORD, DWORD>> seen_;
};

enum class OnDtrLow { kNothing, kDropCarrier, kSayNoCarrier, kSayOk };
enum class Ath { kNotSent, kOk, kError, kSilence, kHangUp };

struct Row {
  const char* name;
  bool carrier_at_connect;
  bool carrier_lost_mid_call;
  OnDtrLow on_dtr_low;
  Ath ath;
  std::vector<bool> dtr;     // every DTR setting, in order
  std::vector<bool> clocal;  // every "ignore the carrier" setting, in order
  std::string traced;        // how the call ended or was hung up
  bool warned;               // "may still hold the telephone line"
};

TEST(HayesModemLines, HangUpAndCarrier) {
  const Row rows[] = {
      {"DCD falls on DTR",
       true,
       false,
       OnDtrLow::kDropCarrier,
       Ath::kNotSent,
       {false, true},
       {false, true},
       "hung up: DCD fell",
       false},
      {"NO CARRIER on DTR",
       true,
       false,
       OnDtrLow::kSayNoCarrier,
       Ath::kNotSent,
       {false, true},
       {false, true},
       "hung up: the modem answered NO CARRIER",
       false},
      {"OK on DTR",
       true,
       false,
       OnDtrLow::kSayOk,
       Ath::kNotSent,
       {false, true},
       {false, true},
       "hung up: the modem answered OK",
       false},
      {"DTR ignored, ATH answers OK",
       true,
       false,
       OnDtrLow::kNothing,
       Ath::kOk,
       {false, true},
       {false, true},
       "hung up: the modem answered OK to ATH",
       false},
      {"DTR ignored, ATH answers ERROR",
       true,
       false,
       OnDtrLow::kNothing,
       Ath::kError,
       {false, true},
       {false, true},
       "ATH answered \"ERROR\"",
       true},
      {"DTR ignored, ATH unanswered",
       true,
       false,
       OnDtrLow::kNothing,
       Ath::kSilence,
       {false, true},
       {false, true},
       "no answer to ATH within 500 ms",
       true},
      // The terminal hung up: the port says so, no need to alarm anyone.
      {"DTR ignored, the port hangs up at ATH",
       true,
       false,
       OnDtrLow::kNothing,
       Ath::kHangUp,
       {false, true},
       {false, true},
       "hung up: the port hung up",
       false},
      // DCD low all along proves nothing: ATH must confirm.
      {"DCD never up",
       false,
       false,
       OnDtrLow::kNothing,
       Ath::kOk,
       {false, true},
       {true},
       "hung up: the modem answered OK to ATH",
       false},
      {"DCD never up, ATH unanswered",
       false,
       false,
       OnDtrLow::kNothing,
       Ath::kSilence,
       {false, true},
       {true},
       "no answer to ATH within 500 ms",
       true},
      {"carrier lost mid-call",
       true,
       true,
       OnDtrLow::kNothing,
       Ath::kNotSent,
       {},
       {false},
       "the carrier was lost (DCD fell)",
       false},
  };
  const fs::path locks = fs::temp_directory_path() / ("zt_lines_" + std::to_string(::getpid()));
  fs::create_directories(locks);
  const HayesTimings timings{.command_timeout = 500ms,
                             .dial_timeout = 5s,
                             .escape_guard = 1ms,
                             .dtr_hold = 1ms,
                             .hangup_wait = 100ms,
                             .watch_interval = 20ms,
                             .line_end_grace = 20ms,
                             .after_init = 0ms};
  for (const Row& row : rows) {
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    TtyOpenError error;
    auto port = TtyPort::Open(::ttyname(slave), {}, {.lock_folder = locks.string()}, &error);
    ::close(slave);
    ASSERT_TRUE(port) << error.text;
    ModemEnd modem(master);
    FakeModemLines lines(port->fd());
    lines.OnDtrLow([&row, &modem](FakeModemLines& l) {
      if (row.on_dtr_low == OnDtrLow::kDropCarrier) l.SetCarrier(false);
      if (row.on_dtr_low == OnDtrLow::kSayNoCarrier) modem.Says("\r\nNO CARRIER\r\n");
      if (row.on_dtr_low == OnDtrLow::kSayOk) modem.Says("\r\nOK\r\n");
    });
    TakeLineProblems();
    TraceCapture trace;
    States states;
    HayesCall call(*port, lines, "ATZ", "5551234", timings,
                   [&states](DWORD s, DWORD d) { states.Add(s, d); });
    call.Start();
    for (const std::string& command : {std::string("ATZ\r"), std::string(kHayesSettings) + "\r"}) {
      EXPECT_EQ(modem.Reads("\r"), command) << row.name;
      modem.Says("\r\nOK\r\n");
    }
    EXPECT_EQ(modem.Reads("\r"), "ATDT5551234\r") << row.name;
    lines.SetCarrier(row.carrier_at_connect);
    modem.Says("\r\nCONNECT 300\r\n");
    ASSERT_TRUE(states.Await(LINECALLSTATE_CONNECTED)) << row.name;
    if (row.carrier_at_connect) {
      ASSERT_TRUE(lines.AwaitCarrierHeeded(kPatience)) << row.name;
    }
    if (row.carrier_lost_mid_call) {
      lines.SetCarrier(false);
      DWORD detail = 0;
      EXPECT_TRUE(states.Await(LINECALLSTATE_DISCONNECTED, &detail)) << row.name;
      EXPECT_EQ(detail, LINEDISCONNECTMODE_NORMAL) << row.name;
    }
    call.Drop();
    if (row.ath != Ath::kNotSent) {
      EXPECT_EQ(modem.Reads("ATH\r"), "+++ATH\r") << row.name;
      if (row.ath == Ath::kOk) modem.Says("\r\nOK\r\n");
      if (row.ath == Ath::kError) modem.Says("\r\nERROR\r\n");
      if (row.ath == Ath::kHangUp) ::close(std::exchange(master, -1));
    }
    EXPECT_TRUE(states.Await(LINECALLSTATE_IDLE)) << row.name;
    call.Join();
    EXPECT_EQ(master >= 0 ? modem.Pending() : "", "") << row.name << ": nothing more for the modem";
    EXPECT_EQ(lines.Dtr(), row.dtr) << row.name;
    EXPECT_EQ(lines.Clocal(), row.clocal) << row.name;
    EXPECT_TRUE(trace.Contains("Modem on " + port->path() + ": " + row.traced + "\n"))
        << row.name << ": " << ::testing::PrintToString(trace.Lines());
    EXPECT_EQ(TakeLineProblems().size(), row.warned ? 1u : 0u) << row.name;
    port.reset();
    if (master >= 0) ::close(master);
  }
  fs::remove_all(locks);
}

}  // namespace
}  // namespace zentrel
