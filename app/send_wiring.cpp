// Send wiring over the real telephony and serial link. Line events and
// telephony's message boxes are queued to the UI thread when they come from
// elsewhere, so no widget is touched off it.
#include "app/send_wiring.h"

#include <QCoreApplication>
#include <QThread>

#include <cstring>

#include "paging/view/ui_queue.h"
#include "seriallink/comm_link.h"
#include "telephony/event_dispatch.h"
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

}  // namespace

struct SendWiring::Send {
  std::unique_ptr<CCommLink> link;
  std::unique_ptr<CTelephony> tapi;
};

SendWiring::SendWiring(ILinkView& view, std::atomic<ISerialLink*>& link_slot,
                       std::atomic<ILinkTelephony*>& tapi_slot, ShowFn show)
    : view_(view), link_slot_(link_slot), tapi_slot_(tapi_slot),
      dispatcher_(std::make_unique<QtDispatcher>()) {
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

// The current call is ended and the line service left; then every send's
// objects go, the links stopping their threads.
SendWiring::~SendWiring() {
  if (CTelephony* current = g_pTelephony.load()) current->UninitTelephony();
  tapi_slot_ = nullptr;
  link_slot_ = nullptr;
  for (Send& send : sends_) send.tapi.reset();
  sends_.clear();
  SetTelephonyMessageBox({});
  SetEventDispatcher(previous_dispatcher_);
}

int SendWiring::StartSend(const char* number) {
  Send send;
  send.link = std::make_unique<CCommLink>(view_);
  link_slot_ = send.link.get();
  send.tapi = std::make_unique<CTelephony>(send.link.get());
  tapi_slot_ = send.tapi.get();
  const std::size_t length = strnlen(number, 31);  // at most 31 and the NUL
  std::memcpy(send.tapi->m_szPhoneNumber, number, length);
  send.tapi->m_szPhoneNumber[length] = '\0';
  CTelephony* tapi = send.tapi.get();
  sends_.push_back(std::move(send));
  return tapi->Dial(tapi->m_szPhoneNumber);
}

}  // namespace zentrel
