// What "Send Page" plugs in: per send a new serial link and telephony object
// (the newest being the current ones), the number and the dial; plus the
// line service's event dispatcher (queued to the UI thread) and telephony's
// message box. The objects of earlier sends are kept until the program ends,
// then torn down before the form goes away. Each dialled page is recorded
// in the page log.
#pragma once

#include <QMessageBox>
#include <QTimer>

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
  // message is announced in the status box.
  int StartSend(const char* number);

 private:
  struct Send;
  ILinkView& view_;
  IPageForm& form_;
  ShowFn show_;
  std::atomic<ISerialLink*>& link_slot_;
  std::atomic<ILinkTelephony*>& tapi_slot_;
  std::unique_ptr<IEventDispatcher> dispatcher_;
  IEventDispatcher* previous_dispatcher_ = nullptr;
  std::vector<Send> sends_;
  std::unique_ptr<FormPageLog> page_log_;  // between the links and `view`
  QTimer* call_watch_ = nullptr;           // finishes the page's record
};

}  // namespace zentrel
