// The form as the page transaction's window from the read thread: status
// texts queued from another thread arrive in order, a received block is
// answered from the boxes' contents at that moment, and the wake-up timer
// ticks on the UI thread, whichever thread started it, until the log-on was
// sent.
#include <mutex>
#include <thread>

#include "seriallink/local_heap.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

// Stands in for the serial link (tested on its own with a real tty): keeps
// every text offered to the write thread.
struct RecordingLink : ISerialLink {
  int PostWrite(char* data, std::uint32_t length) override {
    std::lock_guard lock(mutex);
    offered.emplace_back(data, length);
    LocalFree(data);
    return 1;
  }
  int Attach(int, const CommHandover&) override { return 1; }
  void Stop() override {}
  std::vector<std::string> Offered() {
    std::lock_guard lock(mutex);
    return offered;
  }
  std::mutex mutex;
  std::vector<std::string> offered;
};

class FormThreads : public FormTest {
 protected:
  void SetUp() override {
    Open({{"10", "Carl", "Dunn", "5559876"}});
    view->m_pCommLink = &link;
    ClearTransactionFlags();
  }
  void TearDown() override { view->m_pCommLink = nullptr; }
  bool StatusBecomes(const QString& text) {
    return WaitUntil([&] { return view->m_editStatus->toPlainText() == text; });
  }
  RecordingLink link;
};

TEST_F(FormThreads, StatusTextsFromAnotherThreadArriveInOrder) {
  QStringList texts;  // each text once, as it appeared
  QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view.get(), [&] {
    const QString s = view->m_editStatus->toPlainText();
    if (!s.isEmpty() && (texts.isEmpty() || texts.back() != s)) texts << s;
  });
  constexpr int kTexts = 200;
  std::thread reader([&] {
    for (int i = 0; i < kTexts; ++i) view->UpdateStatus("status " + std::to_string(i));
  });
  ASSERT_TRUE(StatusBecomes(QString("status %1").arg(kTexts - 1)));
  reader.join();
  ASSERT_EQ(texts.size(), kTexts);
  for (int i = 0; i < kTexts; ++i) EXPECT_EQ(texts[i], QString("status %1").arg(i));
}

TEST_F(FormThreads, AReceivedBlockIsAnsweredFromTheBoxesOnTheReadThread) {
  view->m_editMessage->setPlainText("HI\nYO");
  std::thread reader([&] { view->ProcessReceivedData("\r\x1b[p\r", 5); });
  reader.join();
  const auto offered = link.Offered();
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].substr(0, 11), std::string("\x02"
                                                  "10\rHI YO\r\x03"));
  EXPECT_EQ(g_bBlockSent.load(), 1);
  EXPECT_TRUE(StatusBecomes("Sending Message..."));
}

TEST_F(FormThreads, WakeUpTimerStartedFromALinkThreadSendsCrUntilTheLogOnWasSent) {
  std::thread([&] { EXPECT_EQ(view->StartLogonTimer(), 1); }).join();  // queued to the UI thread
  ASSERT_TRUE(WaitUntil([&] { return link.Offered().size() >= 2; }));
  ASSERT_TRUE(StatusBecomes("Preparing to send message..."));
  g_bLogonSent = 1;
  ASSERT_TRUE(WaitUntil([&] { return !view->LogonTimer()->isActive(); }));
  for (const std::string& text : link.Offered()) EXPECT_EQ(text, "\r");
}

}  // namespace
}  // namespace zentrel::testing
