// CCommLink's threads against the scripted device: partial, empty, pending
// and failing writes, an unexpected message, the close while writing or
// queued, line-error reports, the failures that end the read thread, a
// thread that ignores the close, and threads that belong to one call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "fake_comm_device.h"
#include "link_test_support.h"
#include "seriallink/comm_link.h"
#include "seriallink/local_heap.h"

namespace zentrel::test {
namespace {

using std::chrono::milliseconds;
const std::string kReadForced = "Read thread not exiting.  Terminating it.\n";
const std::string kWriteForced = "Write thread not exiting.  Terminating it.\n";

char* Block(const std::string& bytes) {
  char* b = LocalAlloc(bytes.size());
  if (!bytes.empty()) std::memcpy(b, bytes.data(), bytes.size());
  return b;
}

// One link on its own scripted device.
struct Rig {
  explicit Rig(milliseconds close_wait = milliseconds(5000))
      : link(view, LinkTimings{milliseconds(20), close_wait}, platform) {}
  // True once attached and the read thread waits idly, its read pending.
  bool Attach() {
    return link.Attach(3) == 1 && trace.WaitFor("Waiting for data from comm connection.\n");
  }
  int Post(const std::string& bytes) {
    char* b = Block(bytes);
    const int r = link.PostWrite(b, static_cast<std::uint32_t>(bytes.size()));
    if (r == 0) LocalFree(b);
    return r;
  }

  TraceRecorder trace;
  RecordingView view;
  std::shared_ptr<FakeCommDevice> device = std::make_shared<FakeCommDevice>();
  FakePlatform platform{device};
  CCommLink link;
};

TEST(FakeLink, BlocksGoOutWholeAndInOrder) {
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
      {"300 bytes in pending pieces of 100",
       WriteMode::kPendingCompletes,
       100,
       {a},
       {300, 200, 100}},
      {"zero-length block, then more", WriteMode::kAtOnce, 0, {"", "AB"}, {0, 2}},
      {"two blocks never interleave", WriteMode::kAtOnce, 250, {a, b}, {300, 50, 300, 50}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    r.device->SetWrites(row.mode, row.piece);
    ASSERT_TRUE(r.Attach());
    EXPECT_EQ(r.link.PostThreadMessage(1026, 0, nullptr), 1);  // logged and skipped
    std::string all;
    for (const std::string& bytes : row.blocks) {
      all += bytes;
      EXPECT_EQ(r.Post(bytes), 1);
    }
    // A last block shows that every earlier one, the empty one too, is done.
    EXPECT_EQ(r.Post("."), 1);
    ASSERT_TRUE(r.device->WaitWritten(all.size() + 1));
    EXPECT_EQ(r.device->Written(), all + ".");
    std::vector<std::uint32_t> requests = r.device->WriteRequests();
    requests.pop_back();
    EXPECT_EQ(requests, row.requests);
    EXPECT_EQ(r.view.failure_reports.load(), 0);
    EXPECT_TRUE(r.trace.Contains("Unexpected message posted to Write thread: 1026i\n"));
  }
}

TEST(FakeLink, CloseWhileWritePendingAndBlocksQueuedDropsThem) {
  Rig r;
  r.device->SetWrites(WriteMode::kPendingForever);
  ASSERT_TRUE(r.Attach());
  ASSERT_EQ(r.Post("first"), 1);
  ASSERT_TRUE(r.device->WaitWritePending());
  ASSERT_EQ(r.Post("second"), 1);
  ASSERT_EQ(r.Post("third"), 1);
  r.link.Stop();
  EXPECT_TRUE(r.trace.Contains("Write thread shutting down\n"));
  EXPECT_EQ(r.device->WriteRequests(), std::vector<std::uint32_t>{5});
  EXPECT_EQ(r.device->Written(), "");
  EXPECT_EQ(r.view.failure_reports.load(), 0);
  EXPECT_FALSE(r.trace.Contains(kWriteForced));
  EXPECT_GE(r.device->tx_purges.load(), 1);
  EXPECT_EQ(r.Post("late"), 0);
  EXPECT_TRUE(r.trace.Contains("Write thread not created\n"));
}

// A failure report leads back to Stop on the write thread, as the telephony
// teardown does; the invalid-handle path ends only the write thread.
TEST(FakeLink, FailedWriteEndsTheWriteThread) {
  struct Row {
    const char* name;
    IoStatus status;
    bool invalid_text;
    int failure_reports;
  };
  const std::vector<Row> rows{
      {"invalid handle: text, no failure report", IoStatus::kInvalidHandle, true, 0},
      {"other error: failure report, Stop", IoStatus::kFailed, false, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    r.view.on_uninit = [&r] { r.link.Stop(); };
    r.device->SetWrites(WriteMode::kAtOnce, 0, row.status);
    ASSERT_TRUE(r.Attach());
    ASSERT_EQ(r.Post("x"), 1);
    ASSERT_TRUE(r.link.WaitWriteThreadEnded(kGuard));
    EXPECT_EQ(r.trace.Contains(kInvalidHandleText), row.invalid_text);
    EXPECT_TRUE(r.trace.Contains("Write thread shutting down\n"));
    EXPECT_EQ(r.view.failure_reports.load(), row.failure_reports);
    EXPECT_EQ(r.Post("y"), 0);
    EXPECT_TRUE(r.trace.Contains("Write thread not created\n"));
    const bool stopped = row.failure_reports == 1;
    EXPECT_EQ(r.link.ReadThreadId() == 0, stopped);  // else the read side goes on
    EXPECT_EQ(r.link.IsAttached(), !stopped);
    EXPECT_EQ(r.device->closed.load(), stopped);
    EXPECT_FALSE(r.trace.Contains(kReadForced));
    EXPECT_FALSE(r.trace.Contains(kWriteForced));
  }
}

// Each report is exactly its text: 22, 23 and 40 bytes for the first three.
TEST(FakeLink, LineErrorsReachTheViewAsReports) {
  const std::vector<std::pair<std::uint32_t, std::string>> rows{
      {0, "a NULL error"},
      {CE_OVERRUN, "overrun error"},
      {CE_FRAME | CE_RXPARITY, "frame error and a parity error"},
      {CE_FRAME, "frame error"},
      {CE_RXPARITY, "a parity error"},
      {CE_RXOVER, "an unknown error"},
      {CE_BREAK | CE_RXOVER, "an unknown error"},
      {0xFFFFFFFF, "frame error and overrun error and a parity error and an unknown error"},
  };
  Rig r;
  ASSERT_TRUE(r.Attach());
  for (const auto& [word, words] : rows) r.device->Push(FakeRead::LineError(word));
  r.device->Push(FakeRead::Data("after"));
  ASSERT_TRUE(r.view.WaitBlocks(rows.size() + 1));
  const auto blocks = r.view.Blocks();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(blocks[i], "Error: '" + rows[i].second + "'\n") << "error word " << rows[i].first;
  }
  EXPECT_EQ(blocks.back(), "after");
  EXPECT_TRUE(r.view.AllNulTerminated());
  EXPECT_EQ(r.view.failure_reports.load(), 0);
}

TEST(FakeLink, ReadThreadEndsWithAFailureReport) {
  struct Row {
    const char* name;
    FakeRead happening;
    bool invalid_text;
    int handler_result;
  };
  const std::vector<Row> rows{
      {"line-error event with mask 0", FakeRead::LineError(CE_FRAME, 0), false, 1},
      {"zero-byte read", FakeRead::Data(""), false, 1},
      {"read fails", FakeRead::ReadFails(IoStatus::kFailed), false, 1},
      {"read meets an invalid handle", FakeRead::ReadFails(IoStatus::kInvalidHandle), true, 1},
      {"error wait meets an invalid handle", FakeRead::EventFails(IoStatus::kInvalidHandle), true,
       1},
      {"handler returns 0", FakeRead::Data("x"), false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    r.view.result = row.handler_result;
    ASSERT_TRUE(r.Attach());
    r.device->Push(row.happening);
    ASSERT_TRUE(r.link.WaitReadThreadEnded(kGuard));
    EXPECT_GE(r.view.failure_reports.load(), 1);
    EXPECT_EQ(r.trace.Contains(kInvalidHandleText), row.invalid_text);
    EXPECT_TRUE(r.trace.Contains("Read thread shutting down\n"));
    EXPECT_EQ(r.link.ReadThreadId(), 0u);
    EXPECT_TRUE(r.link.IsAttached());  // until the teardown stops it
    r.link.Stop();
    EXPECT_FALSE(r.trace.Contains(kWriteForced));
  }
}

TEST(FakeLink, ThreadThatIgnoresTheCloseIsAbandonedSafely) {
  Rig r(milliseconds(50));
  const long owners_before = r.device.use_count();
  r.view.HoldHandler(true);
  ASSERT_TRUE(r.Attach());
  r.device->Push(FakeRead::Data("stuck"));
  ASSERT_TRUE(r.view.WaitBlocks(1));
  r.link.Stop();  // the read thread sits in the handler and does not react
  EXPECT_TRUE(r.trace.InOrder({"Closing Read Thread\n", kReadForced}));
  EXPECT_FALSE(r.link.IsAttached());
  EXPECT_EQ(r.link.ReadThreadId(), 0u);
  r.view.HoldHandler(false);
  ASSERT_TRUE(r.link.WaitReadThreadEnded(kGuard));
  ASSERT_TRUE(r.link.WaitWriteThreadEnded(kGuard));
  // Once back, the abandoned thread reported nothing, called the view no
  // more, and let go of the device.
  EXPECT_EQ(r.view.failure_reports.load(), 0);
  EXPECT_EQ(r.view.Blocks().size(), 1u);
  EXPECT_EQ(r.device.use_count(), owners_before);
  // A new attachment of the same link works.
  ASSERT_EQ(r.link.Attach(3), 1);
  r.device->Push(FakeRead::Data("again"));
  ASSERT_TRUE(r.view.WaitBlocks(2));
}

// The link's threads belong to the call that attached it: their trace goes
// where that call's goes (not the process's), and once the link is gone so
// are they, with what they kept per thread (a TLS library's state, here a
// thread-local of the view's handler).
TEST(FakeLink, ThreadsCarryTheCallsTraceAndAreGoneWithTheLink) {
  struct Gone {
    std::atomic<bool>* flag = nullptr;
    ~Gone() {
      if (flag != nullptr) flag->store(true);
    }
  };
  struct View : RecordingView {
    int ProcessReceivedData(const char* text, std::uint32_t length) override {
      thread_local Gone gone;
      gone.flag = &read_thread_gone;
      return RecordingView::ProcessReceivedData(text, length);
    }
    std::atomic<bool> read_thread_gone{false};
  };
  const std::string waiting = "Waiting for data from comm connection.\n";
  TraceRecorder process_trace;
  std::mutex mutex;
  std::vector<std::string> call_trace;
  View view;
  auto device = std::make_shared<FakeCommDevice>();
  FakePlatform platform{device};
  {
    const TraceScope scope(std::make_shared<const TraceSink>([&](std::string_view text) {
      std::lock_guard lock(mutex);
      call_trace.emplace_back(text);
    }));
    auto link = std::make_unique<CCommLink>(view, LinkTimings{milliseconds(20), kGuard}, platform);
    ASSERT_EQ(link->Attach(3), 1);
    device->Push(FakeRead::Data("hello"));
    ASSERT_TRUE(view.WaitBlocks(1));
    link.reset();
    EXPECT_TRUE(view.read_thread_gone.load());
  }
  std::lock_guard lock(mutex);
  EXPECT_NE(std::find(call_trace.begin(), call_trace.end(), waiting), call_trace.end());
  EXPECT_FALSE(process_trace.Contains(waiting));
}

// A never-attached link: Stop does nothing, PostWrite refuses. The newest
// link is the current one; an earlier send's link may be released first.
TEST(CommLinkDetached, StopPostWriteAndTheCurrentLink) {
  TraceRecorder trace;
  RecordingView view;
  auto first = std::make_unique<CCommLink>(view);
  first->Stop();
  EXPECT_TRUE(trace.Lines().empty());
  char* b = LocalAlloc(1);
  EXPECT_EQ(first->PostWrite(b, 1), 0);
  LocalFree(b);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{"Write thread not created\n"});
  EXPECT_EQ(g_pCommLink.load(), first.get());
  auto second = std::make_unique<CCommLink>(view);
  EXPECT_EQ(g_pCommLink.load(), second.get());
  first.reset();
  EXPECT_EQ(g_pCommLink.load(), second.get());
  second.reset();
  EXPECT_EQ(g_pCommLink.load(), nullptr);
}

}  // namespace
}  // namespace zentrel::test
