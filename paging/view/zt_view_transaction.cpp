// The view's side of the page transaction. The read thread reads the locked
// copies of the PIN and message boxes and queues its status texts to the UI
// thread, which applies them in the order queued; nothing here makes the
// read thread wait for the UI thread. The wake-up timer runs on the UI thread.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include "paging/view/zt_view.h"

namespace zentrel {

std::string CZTView::PinBoxText() { return state_.Pin(); }

std::string CZTView::MessageBoxText() { return state_.Message(); }

void CZTView::UpdateStatus(const std::string& text) {
  const QString status = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  ui_queue_->Post([this, status] { ApplyStatus(status); });
}

// Replaces the whole text, then scrolls down one line.
void CZTView::ApplyStatus(const QString& text) {
  m_editStatus->setPlainText(text);
  m_editStatus->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

int CZTView::ProcessReceivedData(const char* text, std::uint32_t length) {
  return transaction_->ProcessReceivedData(text, length);
}

// A second start replaces the running timer.
int CZTView::StartLogonTimer() {
  if (QThread::currentThread() == thread()) {
    timer_->start();
  } else {
    ui_queue_->Post([this] { timer_->start(); });
  }
  return 1;
}

void CZTView::OnTimer() {
  if (!transaction_->OnTimerTick()) timer_->stop();
}

}  // namespace zentrel
