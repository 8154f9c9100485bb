// What "Send Page" plugs in: per send a new serial link and telephony object
// (the newest being the current ones), the number and the dial; plus the
// line service's event dispatcher (queued to the UI thread) and telephony's
// message box. One call at a time: the form asks CallUnderWay before a
// send, and hears from the send's link when its call has ended. The objects
// of earlier sends are kept until the program ends, then torn down (the call
// under way hung up, every thread ended) before the form goes away. Each
// dialled page is recorded in the page log, finished when its call's end
// notice reaches the UI thread.
#pragma once

#include <QMessageBox>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zentrel {

class CCommLink;
class FormPageLog;
class CTelephony;
class IEventDispatcher;
class ILinkTelephony;
class ILinkView;
class IPageForm;
class ISerialLink;

class SendWiring {
 public:
  using ShowFn = std::function<void(const std::string& text, QMessageBox::Icon icon)>;

  // `view` receives the link's blocks and timer start; `form` gives the
  // PIN and message a send checks and takes the status it shows; the slots
  // are the view's m_pCommLink and m_pTapi. `show` is the application's
  // message box.
  SendWiring(ILinkView& view, IPageForm& form, std::atomic<ISerialLink*>& link_slot,
             std::atomic<ILinkTelephony*>& tapi_slot, ShowFn show);
  ~SendWiring();
  SendWiring(const SendWiring&) = delete;
  SendWiring& operator=(const SendWiring&) = delete;

  // The form's start of a send through the one send path; returns what Dial
  // returned. A refused page is shown in a message box and returns 0; a cut
  // message is announced in the status box. `call_ended` runs once, on
  // whichever thread stops the link, when the send's call has ended (busy,
  // dropped, hung up, failed) and the link's threads are done.
  int StartSend(const char* number, std::function<void()> call_ended = {});

  // True while the latest send's call is under way (dialling or connected).
  bool CallUnderWay() const;

 private:
  struct Send;
  class EndNoticeLink;
  ILinkView& view_;
  IPageForm& form_;
  ShowFn show_;
  std::atomic<ISerialLink*>& link_slot_;
  std::atomic<ILinkTelephony*>& tapi_slot_;
  std::unique_ptr<IEventDispatcher> dispatcher_;
  IEventDispatcher* previous_dispatcher_ = nullptr;
  std::vector<Send> sends_;
  std::unique_ptr<FormPageLog> page_log_;  // between the links and `view`
};

}  // namespace zentrel
