// CCommLink's threads against the scripted device: partial, empty, pending
// and failing writes, the close while writing or queued, line-error reports,
// the failures that end the read thread, a thread that ignores the close,
// and a link failure that leads back to Stop on a link thread.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_comm_device.h"
#include "link_test_support.h"
#include "seriallink/comm_link.h"
#include "seriallink/local_heap.h"

namespace zentrel::test {
namespace {

using std::chrono::milliseconds;

char* Block(const std::string& bytes) {
  char* b = LocalAlloc(bytes.size());
  if (!bytes.empty()) std::memcpy(b, bytes.data(), bytes.size());
  return b;
}

class FakeLinkTest : public ::testing::Test {
 protected:
  explicit FakeLinkTest(milliseconds close_wait = milliseconds(5000))
      : device(std::make_shared<FakeCommDevice>()),
        platform(device),
        link(view, LinkTimings{milliseconds(20), close_wait}, platform) {}

  // Returns once the read thread waits idly, with its read pending.
  void Attach() {
    ASSERT_EQ(link.Attach(3), 1);
    ASSERT_TRUE(trace.WaitFor("Waiting for data from comm connection.\n"));
  }
  int Post(const std::string& bytes) {
    char* b = Block(bytes);
    const int r = link.PostWrite(b, static_cast<std::uint32_t>(bytes.size()));
    if (r == 0) LocalFree(b);
    return r;
  }

  TraceRecorder trace;
  RecordingView view;
  std::shared_ptr<FakeCommDevice> device;
  FakePlatform platform;
  CCommLink link;
};

TEST_F(FakeLinkTest, BlocksGoOutWholeAndInOrder) {
  struct Row {
    const char* name;
    WriteMode mode;
    std::uint32_t piece;
    std::vector<std::string> blocks;
    std::vector<std::uint32_t> requests;
  };
  const std::string a(300, 'a');
  const std::string b(300, 'b');
  const std::vector<Row> rows{
      {"300 bytes taken 128 at a time", WriteMode::kAtOnce, 128, {a}, {300, 172, 44}},
      {"300 bytes in pending pieces of 100", WriteMode::kPendingCompletes, 100, {a}, {300, 200, 100}},
      {"zero-length block, then more", WriteMode::kAtOnce, 0, {"", "AB"}, {0, 2}},
      {"two blocks never interleave", WriteMode::kAtOnce, 250, {a, b}, {300, 50, 300, 50}},
  };
  for (const Row& row : rows) {
    auto dev = std::make_shared<FakeCommDevice>();
    FakePlatform plat(dev);
    RecordingView v;
    CCommLink l(v, LinkTimings{milliseconds(20), milliseconds(5000)}, plat);
    dev->SetWrites(row.mode, row.piece);
    ASSERT_EQ(l.Attach(3), 1) << row.name;
    std::string all;
    for (const std::string& bytes : row.blocks) {
      all += bytes;
      EXPECT_EQ(l.PostWrite(Block(bytes), static_cast<std::uint32_t>(bytes.size())), 1) << row.name;
    }
    ASSERT_TRUE(dev->WaitWritten(all.size())) << row.name;
    // A last block shows that every earlier one, the empty one too, is done.
    EXPECT_EQ(l.PostWrite(Block("."), 1), 1) << row.name;
    ASSERT_TRUE(dev->WaitWritten(all.size() + 1)) << row.name;
    EXPECT_EQ(dev->Written(), all + ".") << row.name;
    std::vector<std::uint32_t> requests = dev->WriteRequests();
    requests.pop_back();
    EXPECT_EQ(requests, row.requests) << row.name;
    EXPECT_EQ(v.telephony.calls.load(), 0) << row.name;
    EXPECT_NE(l.WriteThreadId(), 0u) << row.name;
  }
}

TEST_F(FakeLinkTest, CloseWhileWritePendingAndBlocksQueuedDropsThem) {
  device->SetWrites(WriteMode::kPendingForever);
  Attach();
  ASSERT_EQ(Post("first"), 1);
  ASSERT_TRUE(device->WaitWritePending());
  ASSERT_EQ(Post("second"), 1);
  ASSERT_EQ(Post("third"), 1);
  link.Stop();
  EXPECT_TRUE(trace.Contains("Write thread shutting down\n"));
  EXPECT_EQ(device->WriteRequests(), std::vector<std::uint32_t>{5});
  EXPECT_EQ(device->Written(), "");
  EXPECT_EQ(view.telephony.calls.load(), 0);
  EXPECT_FALSE(trace.Contains("Write thread not exiting.  Terminating it.\n"));
  EXPECT_GE(device->tx_purges.load(), 1);
  EXPECT_EQ(Post("late"), 0);
  EXPECT_TRUE(trace.Contains("Write thread not created\n"));
}

TEST_F(FakeLinkTest, UnexpectedMessageIsLoggedAndIgnored) {
  Attach();
  EXPECT_EQ(link.PostThreadMessage(1026, 0, nullptr), 1);
  ASSERT_EQ(Post("ok"), 1);
  ASSERT_TRUE(device->WaitWritten(2));
  EXPECT_TRUE(trace.Contains("Unexpected message posted to Write thread: 1026i\n"));
  EXPECT_EQ(device->Written(), "ok");
}

TEST_F(FakeLinkTest, FailedWriteEndsTheWriteThread) {
  struct Row {
    const char* name;
    IoStatus status;
    bool invalid_text;
    int failure_reports;
  };
  const std::vector<Row> rows{
      {"invalid handle: text, no failure report", IoStatus::kInvalidHandle, true, 0},
      {"other error: failure report", IoStatus::kFailed, false, 1},
  };
  for (const Row& row : rows) {
    TraceRecorder t;
    auto dev = std::make_shared<FakeCommDevice>();
    FakePlatform plat(dev);
    RecordingView v;
    CCommLink l(v, LinkTimings{milliseconds(20), milliseconds(5000)}, plat);
    dev->SetWrites(WriteMode::kAtOnce, 0, row.status);
    ASSERT_EQ(l.Attach(3), 1) << row.name;
    ASSERT_EQ(l.PostWrite(Block("x"), 1), 1) << row.name;
    ASSERT_TRUE(l.WaitWriteThreadEnded(kGuard)) << row.name;
    EXPECT_EQ(t.Contains(kInvalidHandleText), row.invalid_text) << row.name;
    EXPECT_TRUE(t.Contains("Write thread shutting down\n")) << row.name;
    EXPECT_EQ(v.telephony.calls.load(), row.failure_reports) << row.name;
    char* again = Block("y");
    EXPECT_EQ(l.PostWrite(again, 1), 0) << row.name;
    LocalFree(again);
    EXPECT_TRUE(t.Contains("Write thread not created\n")) << row.name;
    EXPECT_NE(l.ReadThreadId(), 0u) << row.name;  // the read side goes on
  }
}

TEST_F(FakeLinkTest, LineErrorsReachTheViewAsReports) {
  struct Row {
    std::uint32_t word;
    std::string text;
  };
  const std::vector<Row> rows{
      {0, "Error: 'a NULL error'\n"},
      {CE_OVERRUN, "Error: 'overrun error'\n"},
      {CE_FRAME | CE_RXPARITY, "Error: 'frame error and a parity error'\n"},
      {CE_RXOVER, "Error: 'an unknown error'\n"},
      {CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER,
       "Error: 'frame error and overrun error and a parity error and an unknown error'\n"},
  };
  Attach();
  for (const Row& row : rows) device->Push(FakeRead::LineError(row.word));
  device->Push(FakeRead::Data("after"));
  ASSERT_TRUE(view.WaitBlocks(rows.size() + 1));
  const auto blocks = view.Blocks();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(blocks[i], rows[i].text) << "error word " << rows[i].word;
  }
  EXPECT_EQ(blocks[0].size(), 22u);
  EXPECT_EQ(blocks[1].size(), 23u);
  EXPECT_EQ(blocks[2].size(), 40u);
  EXPECT_EQ(blocks[4].size(), 79u);
  EXPECT_EQ(blocks.back(), "after");
  EXPECT_TRUE(view.AllNulTerminated());
  EXPECT_EQ(view.telephony.calls.load(), 0);
}

TEST_F(FakeLinkTest, OperationsThatCompleteAtOnceAreHandled) {
  device->Push(FakeRead::LineError(CE_OVERRUN).AtOnce());
  device->Push(FakeRead::Data("ID=").AtOnce());
  Attach();
  ASSERT_TRUE(view.WaitBlocks(2));
  EXPECT_EQ(view.Blocks(), (std::vector<std::string>{"Error: 'overrun error'\n", "ID="}));
  EXPECT_TRUE(trace.Contains("Event (Error) waiting before WaitCommEvent.\n"));
  EXPECT_TRUE(trace.Contains("Data waiting for ReadFile.\n"));
  EXPECT_EQ(view.timer_starts.load(), 1);
}

TEST_F(FakeLinkTest, ReadThreadEndsWithAFailureReport) {
  struct Row {
    const char* name;
    FakeRead happening;
    bool invalid_text;
  };
  const std::vector<Row> rows{
      {"line-error event with mask 0", FakeRead::LineError(CE_FRAME, 0), false},
      {"zero-byte read", FakeRead::Data(""), false},
      {"read fails", FakeRead::ReadFails(IoStatus::kFailed), false},
      {"read meets an invalid handle", FakeRead::ReadFails(IoStatus::kInvalidHandle), true},
      {"error wait meets an invalid handle", FakeRead::EventFails(IoStatus::kInvalidHandle), true},
      {"handler returns 0", FakeRead::Data("x"), false},
  };
  for (const Row& row : rows) {
    TraceRecorder t;
    auto dev = std::make_shared<FakeCommDevice>();
    FakePlatform plat(dev);
    RecordingView v;
    if (std::string(row.name) == "handler returns 0") v.result = 0;
    CCommLink l(v, LinkTimings{milliseconds(20), milliseconds(5000)}, plat);
    ASSERT_EQ(l.Attach(3), 1) << row.name;
    dev->Push(row.happening);
    ASSERT_TRUE(l.WaitReadThreadEnded(kGuard)) << row.name;
    EXPECT_GE(v.telephony.calls.load(), 1) << row.name;
    EXPECT_EQ(t.Contains(kInvalidHandleText), row.invalid_text) << row.name;
    EXPECT_TRUE(t.Contains("Read thread shutting down\n")) << row.name;
    EXPECT_EQ(l.ReadThreadId(), 0u) << row.name;
    EXPECT_TRUE(l.IsAttached()) << row.name;  // until the teardown stops it
    l.Stop();
    EXPECT_FALSE(t.Contains("Write thread not exiting.  Terminating it.\n")) << row.name;
  }
}

TEST_F(FakeLinkTest, StopWhileIdleEndsBothThreadsWithoutAReport) {
  Attach();
  link.Stop();
  EXPECT_TRUE(trace.InOrder({"Stopping the Comm\n", "Closing Read Thread\n",
                             "Read thread shutting down\n"}));
  EXPECT_TRUE(trace.Contains("Write thread shutting down\n"));
  EXPECT_FALSE(trace.Contains("Read thread not exiting.  Terminating it.\n"));
  EXPECT_EQ(view.telephony.calls.load(), 0);
  EXPECT_TRUE(device->closed.load());
  EXPECT_FALSE(link.IsAttached());
  EXPECT_EQ(link.ReadThreadId(), 0u);
  EXPECT_EQ(link.WriteThreadId(), 0u);
}

class IgnoredCloseTest : public FakeLinkTest {
 protected:
  IgnoredCloseTest() : FakeLinkTest(milliseconds(50)) {}
};

TEST_F(IgnoredCloseTest, ThreadThatIgnoresTheCloseIsAbandonedSafely) {
  const long owners_before = device.use_count();
  view.HoldHandler();
  Attach();
  device->Push(FakeRead::Data("stuck"));
  ASSERT_TRUE(view.WaitHandlerEntered());
  link.Stop();  // the read thread sits in the handler and does not react
  EXPECT_TRUE(trace.InOrder({"Closing Read Thread\n", "Read thread not exiting.  Terminating it.\n"}));
  EXPECT_FALSE(link.IsAttached());
  EXPECT_EQ(link.ReadThreadId(), 0u);
  view.ReleaseHandler();
  ASSERT_TRUE(link.WaitReadThreadEnded(kGuard));
  ASSERT_TRUE(link.WaitWriteThreadEnded(kGuard));
  // Once back, the abandoned thread reported nothing, called the view no
  // more, and let go of the device.
  EXPECT_EQ(view.telephony.calls.load(), 0);
  EXPECT_EQ(view.Blocks().size(), 1u);
  EXPECT_EQ(device.use_count(), owners_before);
  // A new attachment of the same link works.
  ASSERT_EQ(link.Attach(3), 1);
  device->Push(FakeRead::Data("again"));
  ASSERT_TRUE(view.WaitBlocks(2));
}

TEST_F(FakeLinkTest, LinkFailureLeadingToStopOnALinkThread) {
  struct Row {
    const char* name;
    bool from_write_thread;
  };
  for (const Row row : {Row{"from the read thread", false}, Row{"from the write thread", true}}) {
    TraceRecorder t;
    auto dev = std::make_shared<FakeCommDevice>();
    FakePlatform plat(dev);
    RecordingView v;
    CCommLink l(v, LinkTimings{milliseconds(20), milliseconds(5000)}, plat);
    v.telephony.on_uninit = [&l] { l.Stop(); };
    ASSERT_EQ(l.Attach(3), 1) << row.name;
    if (row.from_write_thread) {
      dev->SetWrites(WriteMode::kAtOnce, 0, IoStatus::kFailed);
      ASSERT_EQ(l.PostWrite(Block("x"), 1), 1) << row.name;
    } else {
      dev->Push(FakeRead::ReadFails(IoStatus::kFailed));
    }
    ASSERT_TRUE(l.WaitReadThreadEnded(kGuard)) << row.name;
    ASSERT_TRUE(l.WaitWriteThreadEnded(kGuard)) << row.name;
    EXPECT_TRUE(t.Contains("Stopping the Comm\n")) << row.name;
    EXPECT_FALSE(t.Contains("Read thread not exiting.  Terminating it.\n")) << row.name;
    EXPECT_FALSE(t.Contains("Write thread not exiting.  Terminating it.\n")) << row.name;
    EXPECT_FALSE(l.IsAttached()) << row.name;
    EXPECT_TRUE(dev->closed.load()) << row.name;
  }
}

TEST(CommLinkSlot, NewestLinkIsCurrent) {
  RecordingView view;
  auto first = std::make_unique<CCommLink>(view);
  EXPECT_EQ(g_pCommLink.load(), first.get());
  auto second = std::make_unique<CCommLink>(view);
  EXPECT_EQ(g_pCommLink.load(), second.get());
  first.reset();  // an earlier send's link, released
  EXPECT_EQ(g_pCommLink.load(), second.get());
  second.reset();
  EXPECT_EQ(g_pCommLink.load(), nullptr);
}

TEST(CommLinkDetached, PostWriteAndStopOnANeverAttachedLink) {
  TraceRecorder trace;
  RecordingView view;
  CCommLink link(view);
  link.Stop();
  EXPECT_TRUE(trace.Lines().empty());
  char* b = LocalAlloc(1);
  EXPECT_EQ(link.PostWrite(b, 1), 0);
  LocalFree(b);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{"Write thread not created\n"});
}

}  // namespace
}  // namespace zentrel::test
