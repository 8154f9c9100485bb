// CTelephony on the scripted driver: registration, the choice and opening
// of a line, the dial, the events, the hand-over and the teardown, checked
// by the exact diagnostic texts and message boxes they produce.
#include "telephony/telephony.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "seriallink/trace.h"
#include "telephony/event_dispatch.h"
#include "telephony/line_service.h"
#include "telephony/message_box.h"
#include "telephony/record_heap.h"
#include "tests/telephony/fake_line_driver.h"

namespace zentrel {
namespace {

using test::FakeLineDriver;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using Lines = std::vector<std::string>;

class FakeLink : public ISerialLink {
 public:
  int attach_result = 1;
  std::vector<int> attached;
  std::atomic<int> stops{0};
  std::function<void()> on_stop;
  int Attach(int handle, const CommHandover&) override {
    attached.push_back(handle);
    return attach_result;
  }
  void Stop() override {
    if (stops.fetch_add(1) == 0 && on_stop) on_stop();
  }
  int PostWrite(char*, std::uint32_t) override { return 0; }
};

// One telephony object on the scripted driver, its events run by a pumped
// queue on the test thread and its message boxes recorded.
struct Rig {
  Rig() {
    previous_ = SetLineDriver(driver_);
    SetEventDispatcher(&queue_);
    SetTelephonyMessageBox([this](const std::string& t, MessageIcon) { boxes_.push_back(t); });
  }
  ~Rig() {
    SetTelephonyMessageBox({});
    SetEventDispatcher(nullptr);
    SetLineDriver(previous_);
    g_pTelephony = nullptr;
  }
  void Event(DWORD device, DWORD message, DWORD p1, DWORD p2 = 0) {
    driver_->Emit(device, message, p1, p2);
    queue_.RunPending();
  }
  // A call placed and reported connected; the trace starts empty after.
  void Connect() {
    ASSERT_EQ(tel_.Dial("5551234"), 1);
    Event(0x77, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
    ASSERT_EQ(link_.attached.size(), 1u);
    trace_.Clear();
  }

  std::shared_ptr<FakeLineDriver> driver_ = std::make_shared<FakeLineDriver>();
  std::shared_ptr<ILineDriver> previous_;
  PumpedQueue queue_;
  std::vector<std::string> boxes_;
  FakeLink link_;
  CTelephony tel_{&link_};
  TraceCapture trace_;
};

class TelephonyTest : public ::testing::Test, protected Rig {};

const Lines kOpened = {"Tapi initialized.\n", "Name of device is: Fake modem\n"};
Lines Opened(Lines more) {
  more.insert(more.begin(), kOpened.begin(), kOpened.end());
  return more;
}
const Lines kTeardown = {"Stopping Call in progress\n", "Call Dropped.\n", "Call Deallocated.\n",
                         "Line Closed.\n", "Call stopped\n"};
Lines Teardown(Lines before, Lines after = {}) {
  before.insert(before.end(), kTeardown.begin(), kTeardown.end());
  before.insert(before.end(), after.begin(), after.end());
  return before;
}

// Dial from a fresh object: what it yields, writes and shows.
TEST(TelephonyDial, Outcomes) {
  struct Row {
    const char* name;
    std::function<void(Rig&)> setup;
    int result;
    Lines trace;
    Lines boxes;
    std::function<void(Rig&)> check;
  };
  const auto capability = [](DWORD bearer, DWORD features, DWORD media) {
    return [=](Rig& r) {
      r.driver_->num_devs = 2;
      r.driver_->bearer = bearer;
      r.driver_->features = features;
      r.driver_->media = media;
    };
  };
  const auto scan_stopped = [](Rig& r) {  // neither the next device nor lineOpen
    EXPECT_THAT(r.driver_->log, Not(Contains("lineNegotiateAPIVersion 1")));
    EXPECT_THAT(r.driver_->log, Not(Contains("lineOpen")));
    EXPECT_EQ(r.tel_.m_bCallInProgress.load(), 0);
  };
  const Lines stopped = Opened({"Stopping Call in progress\n", "Call stopped\n"});
  const std::vector<Row> rows = {
      {"placed",
       nullptr,
       1,
       Opened({"lineMakeCall succeeded.\n"}),
       {},
       [](Rig& r) {
         EXPECT_EQ(r.tel_.m_hCall.load(), 0x77u);
         const LINECALLPARAMS& p = r.driver_->last_params;
         EXPECT_EQ(p.dwTotalSize, 120u);  // the record, then the number and its NUL
         EXPECT_EQ(p.dwBearerMode, LINEBEARERMODE_VOICE);
         EXPECT_EQ(p.dwMediaMode, LINEMEDIAMODE_DATAMODEM);
         EXPECT_EQ(p.dwDisplayableAddressSize, 8u);
         EXPECT_EQ(r.driver_->last_params_number, "5551234");  // read at byte 112
       }},
      {"a call under way",
       [](Rig& r) { r.tel_.m_bCallInProgress = 1; },
       0,
       {},
       {"A call is already being handled."},
       [](Rig& r) { EXPECT_THAT(r.driver_->log, IsEmpty()); }},
      {"registration fails",
       [](Rig& r) {
         r.tel_.m_dwNumDevs = 1;  // a count from before, so the result is screened
         r.driver_->results["lineInitialize"] = {LINEERR_NOMEM};
       },
       0,
       {"Out of memory. Cancelling action.\n", "lineInitialize unhandled error\n"},
       {"A problem initializing."},
       [](Rig& r) { EXPECT_EQ(r.tel_.m_bInitializing.load(), 0); }},
      {"no devices",
       [](Rig& r) { r.driver_->num_devs = 0; },
       0,
       {},
       {"There are no telephony devices installed.", "A problem initializing."},
       nullptr},
      {"no voice",
       capability(0, LINEFEATURE_MAKECALL, LINEMEDIAMODE_INTERACTIVEVOICE),
       0,
       stopped,
       {"The selected line doesn't support VOICE capabilities"},
       scan_stopped},
      {"no make-call",
       capability(LINEBEARERMODE_VOICE, 0, LINEMEDIAMODE_INTERACTIVEVOICE),
       0,
       stopped,
       {"The selected line doesn't support MAKECALL capabilities"},
       scan_stopped},
      {"no interactive voice",
       capability(LINEBEARERMODE_VOICE, LINEFEATURE_MAKECALL, LINEMEDIAMODE_DATAMODEM),
       0,
       stopped,
       {"The selected line doesn't support INTERACTIVE VOICE capabilities"},
       scan_stopped},
      {"line in use: no screening",
       [](Rig& r) { r.driver_->results["lineOpen"] = {LINEERR_RESOURCEUNAVAIL}; },
       0,
       Opened({"Stopping Call in progress\n", "Call stopped\n",
               "Line is already in use by a non-TAPI application "
               "or by another TAPI Service Provider.\n"}),
       {},
       nullptr},
      {"lineOpen asks to re-register",
       [](Rig& r) { r.driver_->results["lineOpen"] = {LINEERR_REINIT}; },
       0,
       Opened({"Stopping Call in progress\n", "Call stopped\n", "TAPI uninitialized.\n",
               "Unable to Use Line\n"}),
       {},
       [](Rig& r) { EXPECT_EQ(r.tel_.m_hLineApp.load(), 0u); }},
      {"lineOpen repeated while positive",
       [](Rig& r) {
         r.driver_->results["lineOpen"] = {3, 0};
       },
       1,
       Opened({"lineMakeCall succeeded.\n"}),
       {},
       [](Rig& r) {
         EXPECT_EQ(std::count(r.driver_->log.begin(), r.driver_->log.end(), "lineOpen"), 2);
       }},
      {"call request rejected",
       [](Rig& r) { r.driver_->results["lineMakeCall"] = {LINEERR_OPERATIONFAILED}; },
       0,
       Opened({"The TAPI operation failed.\n", "lineMakeCall unhandled error\n",
               "lineMakeCall failed.\n", "Stopping Call in progress\n", "Line Closed.\n",
               "Call stopped\n"}),
       {"Dial failed."},
       [](Rig& r) { EXPECT_EQ(r.tel_.m_bCallInProgress.load(), 0); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    if (row.setup) row.setup(r);
    EXPECT_EQ(r.tel_.Dial("5551234"), row.result);
    EXPECT_EQ(r.trace_.Lines(), row.trace);
    EXPECT_EQ(r.boxes_, row.boxes);
    if (row.check) row.check(r);
  }
}

// What ends a connected call, and what it leaves behind.
TEST(TelephonyConnected, Endings) {
  struct Row {
    const char* name;
    std::function<void(Rig&)> act;
    Lines trace;
    std::function<void(Rig&)> check;
  };
  const auto hang_up = [](Rig& r) {
    r.driver_->call_state = LINECALLSTATE_DISCONNECTED;
    r.Event(0x77, LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  };
  const std::vector<Row> rows = {
      {"remote hang-up", hang_up, Teardown({"Remote Party Disconnected", "\n"}),
       [](Rig& r) {
         EXPECT_EQ(r.link_.stops.load(), 1);
         EXPECT_EQ(r.tel_.m_bCallInProgress.load(), 0);
         EXPECT_NE(r.tel_.m_hLineApp.load(), 0u);  // the registration stays
       }},
      {"line closed: only the link and the attempt stop",
       [](Rig& r) {
         r.driver_->log.clear();
         r.Event(0x55, LINE_CLOSE, 0);
       },
       {"Stopping Call in progress\n", "Call stopped\n"},
       [](Rig& r) {
         EXPECT_THAT(r.driver_->log, IsEmpty());
         EXPECT_EQ(r.link_.stops.load(), 1);
       }},
      {"a state after StopCall is for an unknown call",
       [](Rig& r) {
         r.tel_.StopCall();
         r.trace_.Clear();
         lineCallbackFunc(0x77, LINE_CALLSTATE, 0, LINECALLSTATE_CONNECTED, 0, 0);
       },
       {"LINE_CALLSTATE: Unknown device ID "},
       [](Rig& r) { EXPECT_EQ(r.link_.attached.size(), 1u); }},
      // A link thread reports a failure and the UI thread is idle: the whole
      // teardown runs on the link thread.
      {"link failure", [](Rig& r) { std::thread([&r] { r.tel_.UninitTelephony(); }).join(); },
       Teardown({}, {"TAPI uninitialized.\n"}), nullptr},
      // The UI thread is stopping the link (waiting for its thread) when that
      // thread reports a failure: the link thread must not wait for the UI
      // thread; its shutdown is done once the UI thread's teardown is over.
      {"link failure during the UI thread's teardown",
       [hang_up](Rig& r) {
         r.link_.on_stop = [&r] { std::thread([&r] { r.tel_.UninitTelephony(); }).join(); };
         hang_up(r);
       },
       Teardown({"Remote Party Disconnected", "\n"}, {"TAPI uninitialized.\n"}),
       [](Rig& r) { EXPECT_EQ(r.tel_.m_hLineApp.load(), 0u); }},
      {"failed teardown calls are reported and the handles cleared",
       [](Rig& r) {
         r.driver_->results["lineDeallocateCall"] = {2, LINEERR_OPERATIONFAILED};
         r.driver_->results["lineClose"] = {LINEERR_OPERATIONFAILED};
         r.driver_->results["lineShutdown"] = {LINEERR_OPERATIONFAILED};
         EXPECT_EQ(r.tel_.UninitTelephony(), 1);
       },
       {"Stopping Call in progress\n", "Call Dropped.\n", "The TAPI operation failed.\n",
        "lineDeallocateCall unhandled error\n", "Call Deallocated.\n",
        "The TAPI operation failed.\n", "lineClose unhandled error\n", "Line Closed.\n",
        "Call stopped\n", "The TAPI operation failed.\n", "lineShutdown unhandled error\n",
        "TAPI uninitialized.\n"},
       [](Rig& r) {
         EXPECT_EQ(r.tel_.m_hLineApp.load() + r.tel_.m_hLine.load() + r.tel_.m_hCall.load(), 0u);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    r.Connect();
    row.act(r);
    EXPECT_EQ(r.trace_.Lines(), row.trace);
    if (row.check) row.check(r);
  }
}

// The handle's state is taken when the teardown stops the link, its first
// step, so a teardown that ran before the close is caught.
TEST_F(TelephonyTest, RefusedAttachClosesTheHandleBeforeStopping) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  driver_->comm_handle = fds[0];
  link_.attach_result = 0;
  ASSERT_EQ(tel_.Dial("5551234"), 1);
  trace_.Clear();
  std::optional<bool> open_when_stopped;
  link_.on_stop = [&] { open_when_stopped = ::fcntl(fds[0], F_GETFD) != -1; };
  Event(0x77, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
  ASSERT_TRUE(open_when_stopped.has_value()) << "the call was not stopped";
  EXPECT_FALSE(*open_when_stopped) << "the call was stopped while the handle was still open";
  EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1) << "the handle was left open";
  EXPECT_EQ(trace_.Lines(), Teardown({"Connected!  Starting communications!\n"}));
  EXPECT_THAT(boxes_, IsEmpty());
}

TEST_F(TelephonyTest, LargeCommAnswerIsQueriedAgainAtTheNeededSize) {
  driver_->id_needed = 1500;
  Connect();
  EXPECT_THAT(driver_->id_sizes, ElementsAre(1048u, 1500u));
  EXPECT_THAT(link_.attached, ElementsAre(42));
}

TEST_F(TelephonyTest, EventsThatChangeNothing) {
  ASSERT_EQ(tel_.Dial("5551234"), 1);
  struct Row {
    const char* what;
    DWORD device, message, p1, p2;
    Lines trace;
  };
  const std::vector<Row> rows = {
      {"other call",
       0x78,
       LINE_CALLSTATE,
       LINECALLSTATE_CONNECTED,
       0,
       {"LINE_CALLSTATE: Unknown device ID "}},
      {"offering", 0x77, LINE_CALLSTATE, LINECALLSTATE_OFFERING, 0, {}},
      {"two bits", 0x77, LINE_CALLSTATE, 0x3, 0, {}},
      {"dial tone", 0x77, LINE_CALLSTATE, LINECALLSTATE_DIALTONE, 0, {"Dial Tone\n"}},
      {"proceeding", 0x77, LINE_CALLSTATE, LINECALLSTATE_PROCEEDING, 0, {"Proceeding\n"}},
      {"reply ok", 0, LINE_REPLY, 7, 0, {"LINE_REPLY: successfully replied.\n"}},
      {"reply failed", 0, LINE_REPLY, 7, 0x80000048u, {"LINE_REPLY error\n"}},
      {"unknown message", 0, 99, 0, 0, {"lineCallbackFunc message ignored\n"}},
  };
  for (const Row& row : rows) {
    trace_.Clear();
    lineCallbackFunc(row.device, row.message, 0, row.p1, row.p2, 0);
    EXPECT_EQ(trace_.Lines(), row.trace) << row.what;
    EXPECT_EQ(tel_.m_bCallInProgress.load(), 1) << row.what;
  }
  EXPECT_EQ(link_.stops.load(), 0);
  tel_.m_dwNumDevs = 2;  // a new device raises the count, never lowers it
  lineCallbackFunc(0, LINE_CREATE, 0, 1, 0, 0);
  EXPECT_EQ(tel_.m_dwNumDevs, 2u);
  lineCallbackFunc(0, LINE_CREATE, 0, 5, 0, 0);
  EXPECT_EQ(tel_.m_dwNumDevs, 6u);
}

// Every disconnect mode by its number, and values that are no single mode.
TEST_F(TelephonyTest, DisconnectTextsByMode) {
  const std::vector<std::pair<DWORD, const char*>> rows = {
      {0x1, "Remote Party Disconnected"},
      {0x2, "Disconnected: Unknown reason"},
      {0x4, "Remote Party rejected call"},
      {0x8, "Disconnected: Local phone picked up"},
      {0x10, "Disconnected: Forwarded"},
      {0x20, "Disconnected: Busy"},
      {0x40, "Disconnected: No Answer"},
      {0x80, "Disconnected: Bad Address"},
      {0x100, "Disconnected: Unreachable"},
      {0x200, "Disconnected: Congestion"},
      {0x400, "Disconnected: Incompatible"},
      {0x800, "Disconnected: Unavail"},
      {0x1000, "Disconnected: No Dial Tone"},
      {0x0, "Disconnected: LINECALLSTATE; Bad Reason"},
      {0x3, "Disconnected: LINECALLSTATE; Bad Reason"},
      {0x2000, "Disconnected: LINECALLSTATE; Bad Reason"},
  };
  for (const auto& [mode, text] : rows) {
    tel_.m_hCall = 0x77;  // no attempt under way: StopCall only stops
    trace_.Clear();
    tel_.OnCallState(0x77, LINECALLSTATE_DISCONNECTED, mode);
    EXPECT_THAT(trace_.Lines(), ElementsAre(text, "\n")) << "mode 0x" << std::hex << mode;
  }
}

TEST_F(TelephonyTest, NewestObjectIsCurrentAndAReleasedOneIsNot) {
  {
    FakeLink other_link;
    CTelephony newer(&other_link);
    EXPECT_EQ(g_pTelephony.load(), &newer);
  }
  EXPECT_EQ(g_pTelephony.load(), nullptr);
  lineCallbackFunc(0, LINE_CREATE, 0, 9, 0, 0);  // nobody to act on
  EXPECT_EQ(tel_.m_dwNumDevs, 0u);
}

// The scan takes the first device that agrees on a version and whose
// capabilities can be fetched; a bigger answer gets a block of its size.
TEST(TelephonySelectLine, Scan) {
  struct Row {
    const char* name;
    std::function<void(FakeLineDriver&)> setup;
    DWORD device;
    Lines trace;
    std::vector<DWORD> devcaps_sizes;
  };
  const std::vector<Row> rows = {
      {"first device refuses the version",
       [](FakeLineDriver& d) { d.refuse_version[0] = LINEERR_INCOMPATIBLEAPIVERSION; },
       1,
       {"Name of device is: Fake modem\n"},
       {1264u}},
      {"first device's capabilities fail",
       [](FakeLineDriver& d) { d.results["lineGetDevCaps"] = {LINEERR_NODRIVER}; },
       1,
       {"There is a problem with your Telephony device driver.\n",
        "lineGetDevCaps unhandled errors/n", "Name of device is: Fake modem\n"},
       {1264u, 1264u}},
      {"large answer",
       [](FakeLineDriver& d) { d.devcaps_needed = 2000; },
       0,
       {"Reallocating structure\n", "Name of device is: Fake modem\n"},
       {1264u, 2000u}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    r.driver_->num_devs = 3;
    row.setup(*r.driver_);
    ASSERT_EQ(r.tel_.InitTelephony(), 1);
    r.trace_.Clear();
    LINEDEVCAPS* caps = r.tel_.SelectLine();
    ASSERT_NE(caps, nullptr);
    EXPECT_EQ(r.tel_.m_dwDeviceID, row.device);
    EXPECT_EQ(r.trace_.Lines(), row.trace);
    EXPECT_EQ(r.driver_->devcaps_sizes, row.devcaps_sizes);
    EXPECT_EQ(RecordSize(caps), std::max<DWORD>(1264u, row.devcaps_sizes.back()));
    EXPECT_THAT(r.driver_->log, Not(Contains("lineNegotiateAPIVersion 2")));
    RecordFree(caps);
  }
}

TEST_F(TelephonyTest, BiggerBlockIsZeroedWhole) {
  void* block = RecordAlloc(1500);
  std::memset(block, 0xAB, 1500);
  void* same = CTelephony::CheckAndReAllocBuffer(block, 1264);
  ASSERT_EQ(same, block);
  EXPECT_EQ(*static_cast<DWORD*>(same), 1500u);
  const auto* bytes = static_cast<const unsigned char*>(same);
  for (int i = 4; i < 1500; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
  RecordFree(same);
}

TEST_F(TelephonyTest, Guards) {
  tel_.m_hLineApp = 5;
  EXPECT_EQ(tel_.InitTelephony(), 1);  // registered: asks nothing
  EXPECT_THAT(driver_->log, IsEmpty());
  tel_.m_hLineApp = 0;
  EXPECT_EQ(tel_.UninitTelephony(), 1);  // not registered: nothing at all
  EXPECT_EQ(link_.stops.load(), 0);
  EXPECT_EQ(tel_.StopCall(), 1);  // no attempt: only the link is stopped
  EXPECT_EQ(link_.stops.load(), 1);
  EXPECT_THAT(trace_.Lines(), IsEmpty());
  tel_.m_bCallInProgress = 1;
  tel_.m_hLine = 0x55;
  EXPECT_EQ(tel_.StopCall(), 1);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Stopping Call in progress\n", "Line Closed.\n", "Call stopped\n"));
}

}  // namespace
}  // namespace zentrel
