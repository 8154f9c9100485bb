// The form as the page transaction's window from the read thread: status
// texts queued from another thread arrive in order, a received block is
// answered from the boxes' contents at that moment, and the wake-up timer
// ticks on the UI thread until the log-on was sent.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <mutex>
#include <thread>

#include "seriallink/local_heap.h"
#include "tests/app/form_fixture.h"
#include "tests/app/wait.h"

namespace zentrel::testing {
namespace {

// Stands in for the serial link (tested on its own with a real tty): keeps
// every text offered to the write thread.
class RecordingLink : public ISerialLink {
 public:
  int PostWrite(char* data, std::uint32_t length) override {
    std::lock_guard lock(mutex_);
    offered_.emplace_back(data, length);
    LocalFree(data);
    return 1;
  }
  int Attach(int) override { return 1; }
  void Stop() override {}
  std::vector<std::string> Offered() const {
    std::lock_guard lock(mutex_);
    return offered_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> offered_;
};

TEST_F(FormTest, StatusTextsFromAnotherThreadArriveInOrder) {
  Open({{"10", "Carl", "Dunn", "5559876"}});
  QStringList seen;
  QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view.get(),
                   [&] { seen << view->m_editStatus->toPlainText(); });
  constexpr int kTexts = 200;
  std::thread reader([&] {
    for (int i = 0; i < kTexts; ++i) view->UpdateStatus("status " + std::to_string(i));
  });
  const QString last = QString("status %1").arg(kTexts - 1);
  ASSERT_TRUE(WaitUntil([&] { return view->m_editStatus->toPlainText() == last; }));
  reader.join();
  QStringList texts;  // each text once, as it appeared
  for (const QString& s : seen) {
    if (!s.isEmpty() && (texts.isEmpty() || texts.back() != s)) texts << s;
  }
  ASSERT_EQ(texts.size(), kTexts);
  for (int i = 0; i < kTexts; ++i) EXPECT_EQ(texts[i], QString("status %1").arg(i));
}

TEST_F(FormTest, AReceivedBlockIsAnsweredFromTheBoxesOnTheReadThread) {
  Open({{"10", "Carl", "Dunn", "5559876"}});
  RecordingLink link;
  view->m_pCommLink = &link;
  view->m_editMessage->setPlainText("HI\nYO");
  ClearTransactionFlags();
  std::thread reader([&] { view->ProcessReceivedData("\r\x1b[p\r", 5); });
  reader.join();
  const auto offered = link.Offered();
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].substr(0, 12), std::string("\x02" "10\rHI\r\nYO\r\x03"));
  EXPECT_EQ(g_bBlockSent.load(), 1);
  ASSERT_TRUE(WaitUntil([&] { return view->m_editStatus->toPlainText() == "Sending Message..."; }));
  view->m_pCommLink = nullptr;
}

TEST_F(FormTest, WakeUpTimerSendsCrUntilTheLogOnWasSent) {
  Open({{"10", "Carl", "Dunn", "5559876"}});
  RecordingLink link;
  view->m_pCommLink = &link;
  ClearTransactionFlags();
  EXPECT_EQ(view->StartLogonTimer(), 1);
  ASSERT_TRUE(WaitUntil([&] { return link.Offered().size() >= 2; }));
  EXPECT_EQ(link.Offered()[0], "\r");
  ASSERT_TRUE(WaitUntil(
      [&] { return view->m_editStatus->toPlainText() == "Preparing to send message..."; }));
  g_bLogonSent = 1;
  ASSERT_TRUE(WaitUntil([&] { return !view->LogonTimer()->isActive(); }));
  for (const std::string& text : link.Offered()) EXPECT_EQ(text, "\r");
  view->m_pCommLink = nullptr;
}

TEST_F(FormTest, ASecondTimerStartReplacesTheRunningOne) {
  Open({{"10", "Carl", "Dunn", "5559876"}});
  view->StartLogonTimer();
  std::thread other([&] { view->StartLogonTimer(); });  // from a link thread: queued
  other.join();
  ASSERT_TRUE(WaitUntil([&] { return view->LogonTimer()->isActive(); }));
  EXPECT_EQ(view->LogonTimer()->interval(), 5);
  view->LogonTimer()->stop();
}

}  // namespace
}  // namespace zentrel::testing
