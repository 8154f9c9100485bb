// CTelephony on the scripted driver: registration, the choice and opening
// of a line, the dial, the events, the hand-over and the teardown, checked
// by the exact diagnostic texts and message boxes they produce.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "seriallink/trace.h"
#include "telephony/event_dispatch.h"
#include "telephony/line_service.h"
#include "telephony/message_box.h"
#include "telephony/record_heap.h"
#include "telephony/telephony.h"
#include "tests/telephony/fake_line_driver.h"

namespace zentrel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::FakeLineDriver;

class FakeLink : public ISerialLink {
 public:
  int attach_result = 1;
  std::vector<int> attached;
  std::atomic<int> stops{0};
  std::function<void()> on_stop;
  int Attach(int handle) override {
    attached.push_back(handle);
    return attach_result;
  }
  void Stop() override {
    if (stops.fetch_add(1) == 0 && on_stop) on_stop();
  }
  int PostWrite(char*, std::uint32_t) override { return 0; }
};

class TelephonyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetLineDriver(driver_);
    SetEventDispatcher(&queue_);
    SetTelephonyMessageBox([this](const std::string& text, MessageIcon) {
      boxes_.push_back(text);
    });
  }
  void TearDown() override {
    SetTelephonyMessageBox({});
    SetEventDispatcher(nullptr);
    SetLineDriver(previous_);
    g_pTelephony = nullptr;
  }
  // A call placed and reported connected; the trace starts empty after.
  void Connect() {
    ASSERT_EQ(tel_.Dial("5551234"), 1);
    driver_->Emit(0x77, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
    queue_.RunPending();
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

TEST_F(TelephonyTest, DialPlacesTheCallAndConnectedHandsThePortOver) {
  ASSERT_EQ(tel_.Dial("5551234"), 1);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Tapi initialized.\n",
                          "Name of device is: Fake modem\n",
                          "lineMakeCall succeeded.\n"));
  EXPECT_EQ(tel_.m_hCall.load(), 0x77u);
  EXPECT_EQ(driver_->last_params.dwMediaMode, LINEMEDIAMODE_DATAMODEM);
  EXPECT_EQ(driver_->last_params_number, "5551234");
  trace_.Clear();
  driver_->Emit(0x77, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
  queue_.RunPending();
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Connected!  Starting communications!\n"));
  EXPECT_THAT(link_.attached, ElementsAre(42));
  EXPECT_THAT(boxes_, IsEmpty());
}

TEST_F(TelephonyTest, RemoteHangUpStopsLinkDropsDeallocatesAndCloses) {
  Connect();
  driver_->call_state = LINECALLSTATE_DISCONNECTED;
  driver_->Emit(0x77, LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED,
                LINEDISCONNECTMODE_NORMAL);
  queue_.RunPending();
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Remote Party Disconnected", "\n",
                          "Stopping Call in progress\n", "Call Dropped.\n",
                          "Call Deallocated.\n", "Line Closed.\n",
                          "Call stopped\n"));
  EXPECT_EQ(link_.stops.load(), 1);
  EXPECT_EQ(tel_.m_bCallInProgress.load(), 0);
  EXPECT_NE(tel_.m_hLineApp.load(), 0u);  // the registration stays
}

TEST_F(TelephonyTest, RefusedAttachClosesTheHandleBeforeStopping) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  driver_->comm_handle = fds[0];
  link_.attach_result = 0;
  ASSERT_EQ(tel_.Dial("5551234"), 1);
  trace_.Clear();
  driver_->Emit(0x77, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
  queue_.RunPending();
  EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1) << "the handle was left open";
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Connected!  Starting communications!\n",
                          "Stopping Call in progress\n", "Call Dropped.\n",
                          "Call Deallocated.\n", "Line Closed.\n",
                          "Call stopped\n"));
}

TEST_F(TelephonyTest, LargeCommAnswerIsQueriedAgainAtTheNeededSize) {
  driver_->id_needed = 1500;
  Connect();
  EXPECT_THAT(driver_->id_sizes, ElementsAre(1048u, 1500u));
  EXPECT_THAT(link_.attached, ElementsAre(42));
}

TEST_F(TelephonyTest, LineCloseDuringCallOnlyStopsLinkAndAttempt) {
  Connect();
  driver_->log.clear();
  driver_->Emit(0x55, LINE_CLOSE, 0);
  queue_.RunPending();
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Stopping Call in progress\n", "Call stopped\n"));
  EXPECT_THAT(driver_->log, IsEmpty());
  EXPECT_EQ(link_.stops.load(), 1);
}

TEST_F(TelephonyTest, EventsThatChangeNothing) {
  ASSERT_EQ(tel_.Dial("5551234"), 1);
  struct Row {
    const char* what;
    DWORD device, message, p1, p2;
    std::vector<std::string> trace;
  };
  const std::vector<Row> rows = {
      {"other call", 0x78, LINE_CALLSTATE, LINECALLSTATE_CONNECTED, 0,
       {"LINE_CALLSTATE: Unknown device ID "}},
      {"offering", 0x77, LINE_CALLSTATE, LINECALLSTATE_OFFERING, 0, {}},
      {"on hold", 0x77, LINE_CALLSTATE, LINECALLSTATE_ONHOLD, 0, {}},
      {"two bits", 0x77, LINE_CALLSTATE, 0x3, 0, {}},
      {"dial tone", 0x77, LINE_CALLSTATE, LINECALLSTATE_DIALTONE, 0,
       {"Dial Tone\n"}},
      {"dialing", 0x77, LINE_CALLSTATE, LINECALLSTATE_DIALING, 0,
       {"Dialing\n"}},
      {"ringback", 0x77, LINE_CALLSTATE, LINECALLSTATE_RINGBACK, 0,
       {"RingBack\n"}},
      {"proceeding", 0x77, LINE_CALLSTATE, LINECALLSTATE_PROCEEDING, 0,
       {"Proceeding\n"}},
      {"reply ok", 0, LINE_REPLY, 7, 0,
       {"LINE_REPLY: successfully replied.\n"}},
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
}

TEST_F(TelephonyTest, LineCreateRaisesTheDeviceCount) {
  tel_.m_dwNumDevs = 2;
  lineCallbackFunc(0, LINE_CREATE, 0, 1, 0, 0);
  EXPECT_EQ(tel_.m_dwNumDevs, 2u);
  lineCallbackFunc(0, LINE_CREATE, 0, 5, 0, 0);
  EXPECT_EQ(tel_.m_dwNumDevs, 6u);
}

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
      {0x3, "Disconnected: LINECALLSTATE; Bad Reason"},
  };
  for (const auto& [mode, text] : rows) {
    tel_.m_hCall = 0x77;  // no attempt under way: StopCall only stops
    trace_.Clear();
    tel_.OnCallState(0x77, LINECALLSTATE_DISCONNECTED, mode);
    EXPECT_THAT(trace_.Lines(), ElementsAre(text, "\n")) << mode;
  }
}

TEST_F(TelephonyTest, CallStateAfterStopCallIsForAnUnknownCall) {
  Connect();
  tel_.StopCall();
  trace_.Clear();
  lineCallbackFunc(0x77, LINE_CALLSTATE, 0, LINECALLSTATE_CONNECTED, 0, 0);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("LINE_CALLSTATE: Unknown device ID "));
  EXPECT_EQ(link_.attached.size(), 1u);
}

TEST_F(TelephonyTest, DialRefusals) {
  tel_.m_bCallInProgress = 1;
  EXPECT_EQ(tel_.Dial("1"), 0);
  EXPECT_THAT(boxes_, ElementsAre("A call is already being handled."));
  EXPECT_THAT(driver_->log, IsEmpty());

  boxes_.clear();
  driver_->num_devs = 0;
  FakeLink other_link;
  CTelephony fresh(&other_link);
  EXPECT_EQ(fresh.Dial("1"), 0);
  EXPECT_THAT(boxes_, ElementsAre("There are no telephony devices installed.",
                                  "A problem initializing."));
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

TEST_F(TelephonyTest, InitOnRegisteredObjectAsksNothing) {
  tel_.m_hLineApp = 5;
  EXPECT_EQ(tel_.InitTelephony(), 1);
  EXPECT_THAT(driver_->log, IsEmpty());
}

TEST_F(TelephonyTest, FailedRegistrationIsReported) {
  tel_.m_dwNumDevs = 1;  // a count from before, so the result is screened
  driver_->results["lineInitialize"] = {LINEERR_NOMEM};
  EXPECT_EQ(tel_.InitTelephony(), 0);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Out of memory. Cancelling action.\n",
                          "lineInitialize unhandled error\n"));
  EXPECT_EQ(tel_.m_bInitializing.load(), 0);
}

TEST_F(TelephonyTest, FirstDeviceThatAgreesIsChosen) {
  driver_->num_devs = 3;
  driver_->refuse_version[0] = LINEERR_INCOMPATIBLEAPIVERSION;
  ASSERT_EQ(tel_.InitTelephony(), 1);
  trace_.Clear();
  LINEDEVCAPS* caps = tel_.SelectLine();
  ASSERT_NE(caps, nullptr);
  EXPECT_EQ(tel_.m_dwDeviceID, 1u);
  EXPECT_THAT(trace_.Lines(), ElementsAre("Name of device is: Fake modem\n"));
  EXPECT_THAT(driver_->log, ::testing::Contains("lineNegotiateAPIVersion 1"));
  EXPECT_THAT(driver_->log,
              ::testing::Not(::testing::Contains("lineNegotiateAPIVersion 2")));
  RecordFree(caps);
}

TEST_F(TelephonyTest, DeviceWhoseCapsFailIsSkipped) {
  driver_->num_devs = 2;
  driver_->results["lineGetDevCaps"] = {LINEERR_NODRIVER};
  ASSERT_EQ(tel_.InitTelephony(), 1);
  trace_.Clear();
  LINEDEVCAPS* caps = tel_.SelectLine();
  ASSERT_NE(caps, nullptr);
  EXPECT_EQ(tel_.m_dwDeviceID, 1u);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre(
                  "There is a problem with your Telephony device driver.\n",
                  "lineGetDevCaps unhandled errors/n",
                  "Name of device is: Fake modem\n"));
  RecordFree(caps);
}

TEST_F(TelephonyTest, LargeCapsAnswerGetsABlockOfExactlyTheNeededSize) {
  driver_->devcaps_needed = 2000;
  ASSERT_EQ(tel_.InitTelephony(), 1);
  LINEDEVCAPS* caps = tel_.SelectLine();
  ASSERT_NE(caps, nullptr);
  EXPECT_THAT(driver_->devcaps_sizes, ElementsAre(1264u, 2000u));
  EXPECT_EQ(RecordSize(caps), 2000u);
  EXPECT_TRUE(trace_.Contains("Reallocating structure\n"));
  RecordFree(caps);
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

TEST_F(TelephonyTest, MissingCapabilityEndsTheAttempt) {
  struct Row {
    DWORD bearer, features, media;
    const char* box;
  };
  const Row rows[] = {
      {0, LINEFEATURE_MAKECALL, LINEMEDIAMODE_INTERACTIVEVOICE,
       "The selected line doesn't support VOICE capabilities"},
      {LINEBEARERMODE_VOICE, 0, LINEMEDIAMODE_INTERACTIVEVOICE,
       "The selected line doesn't support MAKECALL capabilities"},
      {LINEBEARERMODE_VOICE, LINEFEATURE_MAKECALL, LINEMEDIAMODE_DATAMODEM,
       "The selected line doesn't support INTERACTIVE VOICE capabilities"},
  };
  driver_->num_devs = 2;
  for (const Row& row : rows) {
    driver_->bearer = row.bearer;
    driver_->features = row.features;
    driver_->media = row.media;
    driver_->log.clear();
    boxes_.clear();
    EXPECT_EQ(tel_.Dial("5551234"), 0) << row.box;
    EXPECT_THAT(boxes_, ElementsAre(row.box));
    EXPECT_EQ(tel_.m_bCallInProgress.load(), 0) << row.box;
    EXPECT_THAT(driver_->log,
                ::testing::Not(::testing::Contains("lineNegotiateAPIVersion 1")))
        << row.box;
    EXPECT_THAT(driver_->log, ::testing::Not(::testing::Contains("lineOpen")));
  }
}

TEST_F(TelephonyTest, LineOpenResourceUnavailableBypassesScreening) {
  driver_->results["lineOpen"] = {LINEERR_RESOURCEUNAVAIL};
  EXPECT_EQ(tel_.Dial("5551234"), 0);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Tapi initialized.\n",
                          "Name of device is: Fake modem\n",
                          "Stopping Call in progress\n", "Call stopped\n",
                          "Line is already in use by a non-TAPI application "
                          "or by another TAPI Service Provider.\n"));
}

TEST_F(TelephonyTest, LineOpenReinitShutsTheRegistrationDown) {
  driver_->results["lineOpen"] = {LINEERR_REINIT};
  EXPECT_EQ(tel_.Dial("5551234"), 0);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Tapi initialized.\n",
                          "Name of device is: Fake modem\n",
                          "Stopping Call in progress\n", "Call stopped\n",
                          "TAPI uninitialized.\n", "Unable to Use Line\n"));
  EXPECT_EQ(tel_.m_hLineApp.load(), 0u);
}

TEST_F(TelephonyTest, LineOpenRepeatsWhilePositive) {
  driver_->results["lineOpen"] = {3, 0};
  EXPECT_EQ(tel_.Dial("5551234"), 1);
  EXPECT_EQ(std::count(driver_->log.begin(), driver_->log.end(), "lineOpen"),
            2);
}

TEST_F(TelephonyTest, RejectedCallRequest) {
  driver_->results["lineMakeCall"] = {LINEERR_OPERATIONFAILED};
  EXPECT_EQ(tel_.Dial("5551234"), 0);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Tapi initialized.\n",
                          "Name of device is: Fake modem\n",
                          "The TAPI operation failed.\n",
                          "lineMakeCall unhandled error\n",
                          "lineMakeCall failed.\n",
                          "Stopping Call in progress\n", "Line Closed.\n",
                          "Call stopped\n"));
  EXPECT_THAT(boxes_, ElementsAre("Dial failed."));
  EXPECT_EQ(tel_.m_bCallInProgress.load(), 0);
}

TEST_F(TelephonyTest, StopCallAndUninitGuards) {
  EXPECT_EQ(tel_.UninitTelephony(), 1);  // not registered: nothing at all
  EXPECT_EQ(link_.stops.load(), 0);
  EXPECT_EQ(tel_.StopCall(), 1);  // no attempt: only the link is stopped
  EXPECT_EQ(link_.stops.load(), 1);
  EXPECT_THAT(trace_.Lines(), IsEmpty());

  tel_.m_bCallInProgress = 1;
  tel_.m_hLine = 0x55;
  EXPECT_EQ(tel_.StopCall(), 1);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Stopping Call in progress\n", "Line Closed.\n",
                          "Call stopped\n"));
}

TEST_F(TelephonyTest, FailedTeardownCallsAreReportedAndHandlesCleared) {
  Connect();
  driver_->results["lineDeallocateCall"] = {2, LINEERR_OPERATIONFAILED};
  driver_->results["lineClose"] = {LINEERR_OPERATIONFAILED};
  driver_->results["lineShutdown"] = {LINEERR_OPERATIONFAILED};
  EXPECT_EQ(tel_.UninitTelephony(), 1);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Stopping Call in progress\n", "Call Dropped.\n",
                          "The TAPI operation failed.\n",
                          "lineDeallocateCall unhandled error\n",
                          "Call Deallocated.\n", "The TAPI operation failed.\n",
                          "lineClose unhandled error\n", "Line Closed.\n",
                          "Call stopped\n", "The TAPI operation failed.\n",
                          "lineShutdown unhandled error\n",
                          "TAPI uninitialized.\n"));
  EXPECT_EQ(tel_.m_hLineApp.load(), 0u);
  EXPECT_EQ(tel_.m_hLine.load(), 0u);
  EXPECT_EQ(tel_.m_hCall.load(), 0u);
}

TEST_F(TelephonyTest, CallParamsRecord) {
  LINECALLPARAMS* p = tel_.BuildCallParams("5551234");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(RecordSize(p), 120u);
  EXPECT_EQ(p->dwTotalSize, 120u);
  EXPECT_EQ(p->dwBearerMode, LINEBEARERMODE_VOICE);
  EXPECT_EQ(p->dwMediaMode, LINEMEDIAMODE_DATAMODEM);
  EXPECT_EQ(p->dwCallParamFlags, LINECALLPARAMFLAGS_IDLE);
  EXPECT_EQ(p->dwAddressMode, LINEADDRESSMODE_ADDRESSID);
  EXPECT_EQ(p->dwDisplayableAddressSize, 8u);
  EXPECT_EQ(p->dwDisplayableAddressOffset, 112u);
  EXPECT_STREQ(reinterpret_cast<const char*>(p) + 112, "5551234");
  EXPECT_EQ(p->dwMinRate + p->dwMaxRate + p->dwOrigAddressSize, 0u);
  RecordFree(p);
}

// A link thread reports a failure and the UI thread is idle: the whole
// teardown runs on the link thread.
TEST_F(TelephonyTest, LinkFailureTearsEverythingDown) {
  Connect();
  std::thread link_thread([this] { tel_.UninitTelephony(); });
  link_thread.join();
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Stopping Call in progress\n", "Call Dropped.\n",
                          "Call Deallocated.\n", "Line Closed.\n",
                          "Call stopped\n", "TAPI uninitialized.\n"));
}

// The UI thread is stopping the link (waiting for its thread) when that
// thread reports a failure: the link thread must not wait for the UI
// thread; its shutdown is done once the UI thread's teardown is over.
TEST_F(TelephonyTest, LinkFailureDuringUiTeardownNeitherWaitsNorIsLost) {
  Connect();
  link_.on_stop = [this] {
    std::thread link_thread([this] { tel_.UninitTelephony(); });
    link_thread.join();
  };
  driver_->call_state = LINECALLSTATE_DISCONNECTED;
  lineCallbackFunc(0x77, LINE_CALLSTATE, 0, LINECALLSTATE_DISCONNECTED,
                   LINEDISCONNECTMODE_NORMAL, 0);
  EXPECT_THAT(trace_.Lines(),
              ElementsAre("Remote Party Disconnected", "\n",
                          "Stopping Call in progress\n", "Call Dropped.\n",
                          "Call Deallocated.\n", "Line Closed.\n",
                          "Call stopped\n", "TAPI uninitialized.\n"));
  EXPECT_EQ(tel_.m_hLineApp.load(), 0u);
}

}  // namespace
}  // namespace zentrel
