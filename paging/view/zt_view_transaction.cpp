// The view's side of the page transaction. The read thread reads the locked
// copies of the PIN and message boxes and queues its status texts to the UI
// thread, which applies them in the order queued; nothing here makes the
// read thread wait for the UI thread. The wake-up timer runs on the UI thread
// and stops when the log-on went out or the send's call ended; a call that
// ended before the page was accepted leaves a status text that says so. The
// status texts tell the call watch of each step and of the final word.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include "paging/reply_rules.h"
#include "paging/view/zt_view.h"
#include "seriallink/trace.h"

namespace zentrel {

std::string CZTView::PinBoxText() { return state_.Pin(); }

std::string CZTView::MessageBoxText() { return state_.Message(); }

void CZTView::UpdateStatus(const std::string& text) {
  const QString status = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  ui_queue_->Post([this, status] { ApplyStatus(status); });
}

// Replaces the whole text. A text longer than the box shows keeps its start
// in view (scrolling it down a line would hide how a notice begins); the
// rest is a scroll away, and the whole text is the box's tooltip.
void CZTView::ApplyStatus(const QString& text) {
  m_editStatus->setPlainText(text);
  m_editStatus->setToolTip(text);
  m_editStatus->verticalScrollBar()->setValue(0);
  WatchStatus(text);
}

// A wake-up is no step; the terminal's acceptance or refusal is the final word.
void CZTView::WatchStatus(const QString& text) {
  const std::string shown = text.toStdString();
  if (shown == kStatusPreparing) return;
  const bool final = shown == kStatusMessageSent || shown == kStatusInvalidPin ||
                     shown == kStatusCheckPin || shown == kStatusErrorNotSent ||
                     shown == kStatusErrorPageSent;
  if (final) {
    seen_.refused = seen_.refused || (shown != kStatusMessageSent && shown != kStatusErrorPageSent);
    call_watch_->Final();
  } else {
    call_watch_->Progress();
  }
}

// The form ends the call itself; its end notice follows as for any other end.
void CZTView::OnCallExpired(CallWatch::Expiry why) {
  timer_->stop();  // no wake-up while the line hangs up: it would show its step again
  if (why == CallWatch::Expiry::kSilent) {
    seen_.hung_up_silent = true;
    ApplyStatus(QString::fromLatin1(kStatusNoAnswer));
  }
  OutputDebugStringA(why == CallWatch::Expiry::kSilent
                         ? "The terminal did not answer: hanging up.\n"
                         : "The terminal did not hang up: hanging up.\n");
  if (ILinkTelephony* tapi = m_pTapi.load()) tapi->UninitTelephony();
}

int CZTView::ProcessReceivedData(const char* text, std::uint32_t length) {
  return transaction_->ProcessReceivedData(text, length);
}

// A second start replaces the running timer.
// The call connected: a step of the call.
int CZTView::StartLogonTimer() {
  auto start = [this] {
    timer_->start();
    call_watch_->Progress();
  };
  if (QThread::currentThread() == thread()) {
    start();
  } else {
    ui_queue_->Post(start);
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
// terminal's own refusal, or the form's hang-up on its silence, already says
// the page did not go and why; anything else (progress, a notice, an older
// send's text) would mislead, so the cause of the call's end is shown.
void CZTView::OnCallEnded(unsigned send) {
  if (send != send_) return;
  timer_->stop();
  call_watch_->End();
  const std::string cause = call_ended_ ? call_ended_(seen_) : std::string();
  if (g_bPageAccepted.load() == 1 || seen_.refused) return;
  const QString last = QString::fromStdString(seen_.hung_up_silent ? std::string(kStatusNoAnswer)
                                              : cause.empty()      ? std::string(kStatusCallEnded)
                                                                   : cause);
  if (m_editStatus->toPlainText() != last) ApplyStatus(last);
}

}  // namespace zentrel
