// A call on a line with no modem, with the test as the far end of a socket
// pair: the opener's outcome, the descriptor for the link with its
// handover, and each way the call ends (the terminal's goodbye, no answer to
// the log-off within the grace period, the peer closing, a drop). Also the
// log-off watch on its own, fed split and whole.
#include "telephony/direct_call.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "seriallink/trace.h"
#include "telephony/logoff_watch.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;

TEST(LogoffWatch, GoodbyeAndLogoffFoundWholeOrSplit) {
  struct Row {
    const char* name;
    std::vector<std::string> sent, received;
    LogoffWatch::Verdict verdict;
    bool waits;  // a grace period is running
  };
  const Row rows[] = {
      {"nothing yet", {"\r", "\x1bPG1\r"}, {"ID="}, LogoffWatch::Verdict::kGoOn, false},
      {"goodbye", {}, {"115 Goodbye\r\x1b\x04\r"}, LogoffWatch::Verdict::kGoodbye, false},
      {"goodbye split", {}, {"115 Goodbye\r\x1b", "\x04\r"}, LogoffWatch::Verdict::kGoodbye, false},
      {"goodbye in three", {}, {"\x1b", "\x04", "\r"}, LogoffWatch::Verdict::kGoodbye, false},
      {"goodbye before its CR", {}, {"115 Goodbye\r\x1b\x04"}, LogoffWatch::Verdict::kGoOn, false},
      {"log-off out", {"\x04\r"}, {}, LogoffWatch::Verdict::kGoOn, true},
      {"log-off split", {"\x04", "\r"}, {}, LogoffWatch::Verdict::kGoOn, true},
      {"EOT alone is no log-off", {"\x04"}, {}, LogoffWatch::Verdict::kGoOn, false},
      {"ESC then another byte", {}, {"\x1b[p\r"}, LogoffWatch::Verdict::kGoOn, false},
  };
  for (const Row& row : rows) {
    auto watch = LogoffWatch::Create(60s);
    for (const auto& s : row.sent) watch->Sent(s);
    for (const auto& r : row.received) watch->Received(r);
    int wait_ms = 0;
    EXPECT_EQ(watch->Due(LogoffWatch::Clock::now(), &wait_ms), row.verdict) << row.name;
    EXPECT_EQ(wait_ms > 0, row.waits) << row.name;
    if (row.waits) {
      EXPECT_EQ(watch->Due(LogoffWatch::Clock::now() + 61s, &wait_ms),
                LogoffWatch::Verdict::kNoAnswer)
          << row.name;
    }
  }
}

// The call's reports, waited for.
class Reports {
 public:
  CallStateReport Sink() {
    return [this](DWORD state, DWORD detail) {
      std::lock_guard lock(mutex_);
      seen_.push_back({state, detail});
      cv_.notify_all();
    };
  }
  bool WaitFor(DWORD state, DWORD* detail = nullptr) {
    std::unique_lock lock(mutex_);
    const bool found = cv_.wait_for(lock, 10s, [&] {
      for (auto& [s, d] : seen_)
        if (s == state) return true;
      return false;
    });
    for (auto& [s, d] : seen_)
      if (s == state && detail != nullptr) *detail = d;
    return found;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::pair<DWORD, DWORD>> seen_;
};

class DirectCallTest : public ::testing::Test {
 protected:
  DirectCallTest() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_), 0); }
  ~DirectCallTest() override {
    if (ends_[1] >= 0) close(ends_[1]);
  }
  LineOpener Opener() {
    return [this](std::chrono::milliseconds, int, CommHandover* h, LineProblem*) {
      h->format = LineFormat{.speed = 9600, .data_bits = 8, .parity = 'N'};
      return ends_[0];
    };
  }
  std::unique_ptr<DirectCall> Connected(DirectTimings timings = {10s, 60s}) {
    auto call =
        std::make_unique<DirectCall>("Test line", Opener(), "5551234", timings, reports_.Sink());
    call->Start();
    EXPECT_TRUE(reports_.WaitFor(LINECALLSTATE_CONNECTED));
    return call;
  }

  TraceCapture trace_;
  Reports reports_;
  int ends_[2] = {-1, -1};
};

TEST_F(DirectCallTest, ConnectsWithoutDiallingAndHandsOverTheLine) {
  auto call = Connected();
  EXPECT_TRUE(trace_.Contains("Test line: nothing to dial; the number 5551234 is not used\n"));
  EXPECT_EQ(call->DataFd(), ends_[0]);
  EXPECT_EQ(call->DataName(), "Test line");
  const CommHandover h = call->Handover();
  EXPECT_EQ(h.format.speed, 9600);
  ASSERT_NE(h.watcher, nullptr);
  call->Drop();
  EXPECT_TRUE(reports_.WaitFor(LINECALLSTATE_IDLE));
  call->Join();
  EXPECT_EQ(call->DataFd(), -1);
}

TEST_F(DirectCallTest, EachEndingIsAHangUp) {
  struct Row {
    const char* name;
    std::function<void(ITrafficWatcher&, int peer)> act;
    const char* trace;
  };
  const Row rows[] = {
      {"goodbye", [](ITrafficWatcher& w, int) { w.Received("115 Goodbye\r\x1b\x04\r"); },
       "Test line: the terminal said goodbye; ending the call\n"},
      {"no answer to the log-off", [](ITrafficWatcher& w, int) { w.Sent("\x04\r"); },
       "Test line: no answer to the log-off within 20 ms; ending the call\n"},
      {"peer closes", [](ITrafficWatcher&, int peer) { close(peer); },
       "Test line: the line has gone\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (ends_[1] < 0) {
      ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_), 0);
    }
    Reports reports;
    auto call = std::make_unique<DirectCall>("Test line", Opener(), "", DirectTimings{10s, 20ms},
                                             reports.Sink());
    call->Start();
    ASSERT_TRUE(reports.WaitFor(LINECALLSTATE_CONNECTED));
    const CommHandover h = call->Handover();
    row.act(*h.watcher, ends_[1]);
    if (std::string(row.name) == "peer closes") ends_[1] = -1;
    DWORD detail = 0;
    ASSERT_TRUE(reports.WaitFor(LINECALLSTATE_DISCONNECTED, &detail));
    EXPECT_EQ(detail, LINEDISCONNECTMODE_NORMAL);
    EXPECT_TRUE(trace_.Contains(row.trace));
    call->Join();
    if (ends_[1] >= 0) close(ends_[1]);
    ends_[1] = -1;
  }
}

TEST_F(DirectCallTest, ALineThatWillNotOpenIsUnreachableWithItsReason) {
  auto call = std::make_unique<DirectCall>(
      "Test line",
      [](std::chrono::milliseconds, int, CommHandover*, LineProblem* problem) {
        *problem = MakeLineProblem(LineProblemKind::kRefused, "Connection refused");
        problem->system = "errno's words";
        return -1;
      },
      "", DirectTimings{}, reports_.Sink());
  EXPECT_FALSE(call->Failure().has_value());
  call->Start();
  DWORD detail = 0;
  ASSERT_TRUE(reports_.WaitFor(LINECALLSTATE_DISCONNECTED, &detail));
  EXPECT_EQ(detail, LINEDISCONNECTMODE_UNREACHABLE);
  EXPECT_TRUE(trace_.Contains("Line failed: Test line: Connection refused\n"));
  // The call keeps the opener's problem whole, named by its line.
  const std::optional<LineProblem> failure = call->Failure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, LineProblemKind::kRefused);
  EXPECT_EQ(failure->system, "errno's words");
  EXPECT_EQ(failure->Text(), "Test line: Connection refused");
  call->Join();
}

}  // namespace
}  // namespace zentrel
