// The view's side of the page transaction. The read thread reads the locked
// copies of the PIN and message boxes and queues its status texts to the UI
// thread, which applies them in the order queued; nothing here makes the
// read thread wait for the UI thread. The wake-up timer runs on the UI thread
// and stops when the log-on went out or the send's call ended; a call that
// ended before the page was accepted leaves a status text that says so.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include "paging/reply_rules.h"
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
  ++statuses_this_send_;
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
  const bool call_ended = send_ != 0 && ended_send_.load() == send_;
  if (call_ended || !transaction_->OnTimerTick()) timer_->stop();
}

std::function<void()> CZTView::CallEndNotice() {
  const unsigned send = send_;
  return [this, send] {
    // Seen at once by a timer tick; a late notice never undoes a newer one.
    unsigned ended = ended_send_.load();
    while (ended < send && !ended_send_.compare_exchange_weak(ended, send)) {
    }
    ui_queue_->Post([this, send] { OnCallEnded(send); });
  };
}

// Queued after every status text of the call, so it sees the last one. The
// terminal's own refusal, shown during this send, already says the page did
// not go and why; anything else (progress, a notice, an older send's text)
// would mislead.
void CZTView::OnCallEnded(unsigned send) {
  if (send != send_) return;
  timer_->stop();
  if (g_bPageAccepted.load() == 1) return;
  const std::string shown = m_editStatus->toPlainText().toStdString();
  const bool refused = shown == kStatusInvalidPin || shown == kStatusCheckPin || shown == kStatusErrorNotSent;
  if (statuses_this_send_ == 0 || !refused) ApplyStatus(QString::fromLatin1(kStatusCallEnded));
}

}  // namespace zentrel
