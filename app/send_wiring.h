// What "Send Page" plugs in: per send a new serial link and telephony object
// (the newest being the current ones), the number and the dial; plus the
// line service's event dispatcher (queued to the UI thread) and telephony's
// message box. One call at a time: the form asks CallUnderWay before a
// send, and hears from the send's link when its call has ended. The objects
// of earlier sends are kept until the program ends, then torn down (the call
// under way hung up, every thread ended) before the form goes away. Each
// dialled page is recorded in the page log, concluded when the form hears
// its call has ended (and gets the status naming the cause back), or as
// interrupted when the program ends the call on its way out. When the line
// chosen carries pages (a wctp line), the page goes by that line's delivery
// on a thread of its own (pages_send.h) and ends as a call does: the form
// hears the end, its status box gets the outcome, the record is concluded.
#pragma once

#include <QMessageBox>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "delivery/call_end.h"
#include "delivery/form_page_log.h"
#include "tap/session.h"

namespace zentrel {

class CCommLink;
class CTelephony;
class CZTView;
class IEventDispatcher;
class ILineDriver;
class PagesSend;
struct LineChoice;
struct PageRequest;

class SendWiring {
 public:
  using ShowFn = std::function<void(const std::string& text, QMessageBox::Icon icon)>;

  // `view` receives the link's blocks and timer start, gives the PIN and
  // message a send checks and takes the status it shows; its m_pCommLink
  // and m_pTapi are set per send. `show` is the application's message box.
  SendWiring(CZTView& view, ShowFn show);
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
  // Concludes the open record; returns the status naming why the page did not go.
  std::string Conclude(const FormPageLog::Seen& seen);
  // The line service's driver for this send: the choice's, or the default.
  void UseDriver(LineChoice& choice);
  int StartPagesSend(const PageRequest& request, const LineChoice& choice,
                     std::function<void()> call_ended);
  void PagesDone(const tap::PageReport& report, const std::function<void()>& call_ended);

  CZTView& view_;
  ShowFn show_;
  std::unique_ptr<IEventDispatcher> dispatcher_;
  IEventDispatcher* previous_dispatcher_ = nullptr;
  std::vector<Send> sends_;
  std::unique_ptr<FormPageLog> page_log_;          // between the links and `view`
  CallEndCause end_;                               // of the call concluded last
  std::unique_ptr<PagesSend> pages_;               // the latest send on a line that carries pages
  bool pages_under_way_ = false;                   // UI thread
  std::unique_ptr<tap::PageReport> pages_report_;  // its report, until concluded
  bool own_driver_ = false;                        // a choice's driver is installed
  std::shared_ptr<ILineDriver> previous_driver_;
};

}  // namespace zentrel
