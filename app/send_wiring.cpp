// Send wiring over the real telephony and serial link. Line events and
// telephony's message boxes are queued to the UI thread when they come from
// elsewhere, so no widget is touched off it. The telephony object gets the
// send's link behind a thin wrapper that tells the form when the call's
// teardown has stopped the link. A line that carries pages is chosen before
// any link is made; its page then never meets the telephony object.
#include "app/send_wiring.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>

#include "app/pages_send.h"
#include "delivery/form_page_log.h"
#include "journal/page_log.h"
#include "paging/message_block.h"
#include "paging/page_check.h"
#include "paging/page_form.h"
#include "paging/reply_rules.h"
#include "paging/send_request.h"
#include "paging/transaction_flags.h"
#include "paging/view/ui_queue.h"
#include "paging/view/zt_view.h"
#include "seriallink/comm_link.h"
#include "telephony/event_dispatch.h"
#include "telephony/line_choice.h"
#include "telephony/line_problems.h"
#include "telephony/line_service.h"
#include "telephony/message_box.h"
#include "telephony/telephony.h"

namespace zentrel {
namespace {

// Line events run on the UI thread, in the order the service posted them.
class QtDispatcher : public IEventDispatcher {
 public:
  void Post(std::function<void()> event) override { queue_.Post(std::move(event)); }
  UiQueue& Queue() { return queue_; }

 private:
  UiQueue queue_;  // made on the UI thread with the wiring
};

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation: return QMessageBox::Information;
    case MessageIcon::kStop: return QMessageBox::Critical;
    case MessageIcon::kWarning: break;
  }
  return QMessageBox::Warning;
}

// The recipient's names as the form shows them.
std::string RecipientNames(const CZTView& view) {
  const QString first = view.m_editFirstName->text(), last = view.m_editLastName->text();
  return (first.isEmpty() || last.isEmpty() ? first + last : first + ' ' + last).toStdString();
}

}  // namespace

// The link as the telephony object sees it: the same link, whose Stop (the
// first step of every end of a call) is followed by the send's notice, once.
class SendWiring::EndNoticeLink : public ISerialLink {
 public:
  EndNoticeLink(CCommLink& link, std::function<void()> notice)
      : link_(link), notice_(std::move(notice)) {}
  int Attach(int comm_handle, const CommHandover& with) override {
    return link_.Attach(comm_handle, with);
  }
  int PostWrite(char* data, std::uint32_t length) override { return link_.PostWrite(data, length); }
  void Stop() override {
    link_.Stop();
    if (notice_ && !noticed_.exchange(true)) notice_();
  }

 private:
  CCommLink& link_;
  std::function<void()> notice_;
  std::atomic<bool> noticed_{false};
};

struct SendWiring::Send {
  std::unique_ptr<CCommLink> link;
  std::unique_ptr<EndNoticeLink> ending;
  std::unique_ptr<CTelephony> tapi;
};

SendWiring::SendWiring(CZTView& view, ShowFn show)
    : view_(view),
      show_(show),
      dispatcher_(std::make_unique<QtDispatcher>()),
      page_log_(std::make_unique<FormPageLog>(view, DefaultPageLogPath())) {
  view.SetCallEnded([this](const CZTView::CallSeen& seen) {
    return Conclude({seen.refused, false, seen.hung_up_silent});
  });
  previous_dispatcher_ = SetEventDispatcher(dispatcher_.get());
  UiQueue* ui = &static_cast<QtDispatcher*>(dispatcher_.get())->Queue();
  SetTelephonyMessageBox([show, ui](const std::string& text, MessageIcon icon) {
    if (QThread::currentThread() == ui->thread()) {
      show(text, ToQt(icon));
    } else {
      ui->Post([show, text, icon] { show(text, ToQt(icon)); });
    }
  });
}

// The current call is ended and the line service left (a page whose call
// was under way is recorded as interrupted); then every send's objects go,
// the links stopping their threads.
SendWiring::~SendWiring() {
  view_.SetCallEnded({});
  const bool under_way = CallUnderWay();
  pages_.reset();  // stopped: its report, if any, is not heard
  pages_report_.reset();
  if (CTelephony* current = g_pTelephony.load()) current->UninitTelephony();
  Conclude({view_.Seen().refused, under_way, view_.Seen().hung_up_silent});
  view_.m_pTapi = nullptr;
  view_.m_pCommLink = nullptr;
  for (Send& send : sends_) send.tapi.reset();
  sends_.clear();
  page_log_.reset();
  if (own_driver_) SetLineDriver(std::move(previous_driver_));
  SetTelephonyMessageBox({});
  SetEventDispatcher(previous_dispatcher_);
}

void SendWiring::UseDriver(LineChoice& choice) {
  if (choice.made) {
    std::shared_ptr<ILineDriver> previous = SetLineDriver(std::move(choice.driver));
    if (!own_driver_) previous_driver_ = std::move(previous);
    own_driver_ = true;
  } else if (own_driver_) {
    SetLineDriver(std::move(previous_driver_));
    own_driver_ = false;
  }
}

int SendWiring::StartSend(const char* number, std::function<void()> call_ended) {
  const PageRequest request{view_.PinBoxText(), view_.MessageBoxText(), number};
  TakeLineProblems();  // only this call's
  LineChoice choice = ChooseLine();
  if (choice.carries_pages) return StartPagesSend(request, choice, std::move(call_ended));
  UseDriver(choice);
  std::unique_ptr<EndNoticeLink> ending;
  StartedSend started =
      zentrel::StartSend(request, *page_log_, [&](CCommLink& link, CTelephony& tapi) {
        view_.m_pCommLink = &link;
        view_.m_pTapi = &tapi;
        ending = std::make_unique<EndNoticeLink>(link, std::move(call_ended));
        tapi.m_pSerialLink = ending.get();  // before the dial: every end of the call is heard
      });
  if (!started.refusal.empty()) {
    show_(started.refusal, QMessageBox::Warning);
    return 0;
  }
  if (!started.notice.empty()) view_.UpdateStatus(started.notice);
  sends_.push_back(Send{std::move(started.link), std::move(ending), std::move(started.tapi)});
  page_log_->Begin({"zentrel", CurrentUser(), request.pin, RecipientNames(view_), request.phone,
                    std::string(MessageField(request.message)),
                    view_.TypedMessage().toStdString()});
  // Nothing dialled: the record is concluded now, the form's end notice
  // (when the dial's failure ended the call) gets the same cause.
  if (started.dialled == 0) Conclude({});
  return started.dialled;
}

// The same checks and record as a call's; then the page goes on its own
// thread, and the form hears its end as a call's end.
int SendWiring::StartPagesSend(const PageRequest& request, const LineChoice& choice,
                               std::function<void()> call_ended) {
  const StartedSend check = CheckSend(request);
  if (!check.refusal.empty()) {
    show_(check.refusal, QMessageBox::Warning);
    return 0;
  }
  if (!check.notice.empty()) view_.UpdateStatus(check.notice);
  view_.m_pCommLink = nullptr;  // no link and no telephony object: nothing to hang up
  view_.m_pTapi = nullptr;
  page_log_->Begin({"zentrel", CurrentUser(), request.pin, RecipientNames(view_), request.phone,
                    std::string(MessageField(request.message)),
                    view_.TypedMessage().toStdString()});
  pages_.reset();  // the previous one has ended
  pages_report_.reset();
  pages_under_way_ = true;
  UiQueue& ui = static_cast<QtDispatcher*>(dispatcher_.get())->Queue();
  pages_ = std::make_unique<PagesSend>(
      ui, choice.line, tap::OutgoingPage{request.pin, std::string(MessageField(request.message))},
      [this](const std::string& text) { view_.UpdateStatus(text); },
      [this, call_ended = std::move(call_ended)](const tap::PageReport& report) {
        PagesDone(report, call_ended);
      });
  return 1;
}

// UI thread: the outcome goes to the status box before the form hears the
// end, so the end sees it, as a call's last status.
void SendWiring::PagesDone(const tap::PageReport& report, const std::function<void()>& call_ended) {
  pages_under_way_ = false;
  pages_report_ = std::make_unique<tap::PageReport>(report);
  if (report.status == tap::PageStatus::kAccepted) {
    g_bPageAccepted = 1;
    view_.UpdateStatus(std::string(kStatusMessageSent));
  }
  if (call_ended) call_ended();
}

std::string SendWiring::Conclude(const FormPageLog::Seen& seen) {
  if (pages_report_) {
    const tap::PageReport report = *pages_report_;
    pages_report_.reset();
    const Outcome outcome = page_log_->Finish(
        report.status == tap::PageStatus::kAccepted
            ? Outcome{Delivery::kAccepted, Reason::kNone, report.terminal}
        : report.status == tap::PageStatus::kRefused
            ? Outcome{Delivery::kRefused, Reason::kTerminalRefused, report.terminal}
            : Outcome{Delivery::kNotSent, Reason::kCallDropped, report.reason});
    if (outcome.delivery == Delivery::kAccepted) return {};
    return "Error, page not sent, " + report.reason + ".";
  }
  if (sends_.empty()) {
    // Only pages on a line that carries pages so far: one cut short.
    if (page_log_->open()) page_log_->Conclude(end_, seen);
    return {};
  }
  if (page_log_->open()) end_ = EndCause(*sends_.back().tapi, TakeLineProblems());
  const Outcome outcome = page_log_->Conclude(end_, seen);
  return outcome.delivery == Delivery::kNotSent ? "Error, page not sent, " + outcome.words + "."
                                                : "";
}

bool SendWiring::CallUnderWay() const {
  if (pages_under_way_) return true;
  return !sends_.empty() && sends_.back().tapi->m_bCallInProgress.load() != 0;
}

}  // namespace zentrel
