// The send-page form: the program's one view. It builds the controls of the
// form, fills the PIN box from the recipient recordset, looks recipients up,
// counts the message's characters and starts a send through a hook the
// application plugs in. It is also the page transaction's window onto the
// form (IPageForm) and the serial link's view (ILinkView): the read thread
// reads locked copies of the boxes and queues its status texts to this thread.
// One call at a time: while a send's call is under way Send Page leaves it
// alone, and when that call ends its timer stops and the status box tells
// whether the page went out. Every call ends: a terminal that moves nothing
// on for the call time-out, or does not hang up after the page's final word,
// is hung up on. The message goes out as the line carries it: plain ASCII,
// line breaks as spaces; the user is told when that changes the text.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "paging/page_form.h"
#include "paging/transaction.h"
#include "paging/view/call_watch.h"
#include "paging/view/form_layout.h"
#include "paging/view/form_state.h"
#include "paging/view/message_box.h"
#include "paging/view/pin_combo.h"
#include "paging/view/ui_queue.h"
#include "seriallink/link_view.h"
#include "store/dao.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace zentrel {

// Shown when Send Page is pressed while a send's call is under way.
inline constexpr const char* kCallUnderWayText = "A call is already being handled.";
// Left in the status box when a send's call ended before the terminal
// accepted the page, nothing shown says so and its cause is not known.
inline constexpr const char* kStatusCallEnded = "Error, page not sent, the call ended.";
// Left in the status box when the form hung up on a silent terminal.
inline constexpr const char* kStatusNoAnswer = "Error, page not sent, the terminal did not answer.";

class CZTView : public QWidget, public IPageForm, public ILinkView {
  Q_OBJECT

 public:
  // Starts a send: given the phone number as typed (a send refuses one too
  // long, never cuts it), creates the link and the telephony object, keeps
  // them in m_pCommLink/m_pTapi and dials. Returns what the dial returned
  // (0 = failed).
  using StartSendFn = std::function<int(const char* phone_number)>;
  using ButtonFn = std::function<void()>;
  // True while the latest send's call is under way.
  using CallUnderWayFn = std::function<bool()>;

  // `document_set` is the document's recipient recordset; the view takes it
  // into m_pSet at its first showing. `timer_interval_ms` is the wake-up
  // timer's interval.
  explicit CZTView(CZTSet* document_set, QWidget* parent = nullptr,
                   int timer_interval_ms = kLogonTimerIntervalMs);
  ~CZTView() override;

  // The members other parts of the program reach.
  CZTSet* m_pSet = nullptr;                        // not owned
  std::atomic<ILinkTelephony*> m_pTapi{nullptr};   // telephony of the latest send
  std::atomic<ISerialLink*> m_pCommLink{nullptr};  // link of the latest send
  QPlainTextEdit* m_editMessage = nullptr;         // 1008
  QLineEdit* m_editFirstName = nullptr;            // 1009
  QLineEdit* m_editLastName = nullptr;             // 1010
  QLineEdit* m_editPhone = nullptr;                // 1003
  QLineEdit* m_editCharCount = nullptr;            // 1013
  QPlainTextEdit* m_editStatus = nullptr;          // 1006
  CPinCombo* m_comboPin = nullptr;                 // 1007
  CDaoDatabase m_database;                         // the view's own connection

  QPushButton* m_buttonSend = nullptr;    // 1005
  QPushButton* m_buttonAdd = nullptr;     // 1012
  QPushButton* m_buttonEdit = nullptr;    // 1016
  QPushButton* m_buttonClear = nullptr;   // 1014
  QPushButton* m_buttonStored = nullptr;  // 1015

  // Handlers. These throw CDaoException on a store failure; the form's own
  // signal connections catch it at the handler boundary (see Guarded).
  void OnInitialUpdate();
  int LookupPin(const std::string& pin);
  void OnSelchangePin();
  void UpdateCharCount();
  void OnClearMessage();
  void OnSendPage();
  void OnHelp();
  void OnTimer();

  // Runs `handler`; a store failure is shown with the stop icon and the
  // handler is abandoned. Returns false when it was abandoned.
  bool Guarded(const std::function<void()>& handler);

  // Hooks the application plugs in.
  void SetStartSend(StartSendFn fn) { start_send_ = std::move(fn); }
  void SetCallUnderWay(CallUnderWayFn fn) { call_under_way_ = std::move(fn); }
  void SetAddRecipient(ButtonFn fn) { on_add_ = std::move(fn); }
  void SetEditRecipient(ButtonFn fn) { on_edit_ = std::move(fn); }
  void SetDeleteRecipient(ButtonFn fn) { on_delete_ = std::move(fn); }
  // The File menu's Delete Recipient: the hook, guarded like a button.
  void OnDeleteRecipient() {
    if (on_delete_) Guarded(on_delete_);
  }
  void SetStoredMessages(ButtonFn fn) { on_stored_ = std::move(fn); }
  void SetMessageBox(MessageBoxFn fn) { message_box_ = std::move(fn); }
  void SetHelpFile(QString path) { help_file_ = std::move(path); }
  // The program that shows the help file ("xdg-open"); given the file's path.
  void SetHelpOpener(QString program) { help_opener_ = std::move(program); }
  // What the form saw of the latest send's call.
  struct CallSeen {
    bool refused = false;         // the terminal's refusal was shown
    bool hung_up_silent = false;  // the form hung up on a silent terminal
  };
  // Runs on the UI thread once the latest send's call has ended, with what
  // the form saw; returns the status that names why the page did not go
  // ("" when nothing more is known), shown unless the box already says it.
  using CallEndedFn = std::function<std::string(const CallSeen&)>;
  void SetCallEnded(CallEndedFn fn) { call_ended_ = std::move(fn); }
  const CallSeen& Seen() const { return seen_; }  // UI thread
  // The call time-out and the hang-up grace (kCallTimeoutMs, kHangUpGraceMs).
  void SetCallIntervals(int call_timeout_ms, int grace_ms) {
    call_watch_->SetIntervals(call_timeout_ms, grace_ms);
  }
  // The message as typed (UTF-8, line breaks as LF), for the page log.
  QString TypedMessage() const;
  const MessageBoxFn& MessageBox() const { return message_box_; }
  QTimer* LogonTimer() const { return timer_; }
  // Starts the 4000 ms wake-up timer (from any thread: queued to the UI
  // thread); a step of the call. Returns 1.
  int StartLogonTimer();

  // ILinkView
  int OnLinkUp() override { return StartLogonTimer(); }
  int ProcessReceivedData(const char* text, std::uint32_t length) override;
  ILinkTelephony* Tapi() override { return m_pTapi.load(); }

  // What the wiring calls, from any thread, once the latest send's call has
  // ended (its link stopped, so every received block has been answered).
  // Bound to that send: a notice that comes late for an older send is dropped.
  std::function<void()> CallEndNotice();

  // IPageForm: callable from any thread.
  std::string PinBoxText() override;
  std::string MessageBoxText() override;
  void UpdateStatus(const std::string& text) override;

 private:
  void BuildControls();  // zt_view_layout.cpp
  void FitTexts(DialogBaseUnits base);
  void ConnectHandlers();
  void ConnectEnterKeys();
  void ApplyStatus(const QString& text);
  void FillPinBox();
  void OnCallEnded(unsigned send);
  void OnCallExpired(CallWatch::Expiry why);
  void OpenHelp(const QString& path);
  void WatchStatus(const QString& text);
  QString LineNotice() const;

  CZTSet* document_set_;
  QTimer* timer_ = nullptr;
  CallWatch* call_watch_ = nullptr;
  UiQueue* ui_queue_ = nullptr;  // status texts and timer starts from other threads
  FormState state_;
  std::unique_ptr<CPageTransaction> transaction_;
  StartSendFn start_send_;
  CallUnderWayFn call_under_way_;
  unsigned send_ = 0;                    // the latest send, counted from 1
  std::atomic<unsigned> ended_send_{0};  // the latest send whose call ended
  CallSeen seen_;                        // of the latest send
  CallEndedFn call_ended_;
  ButtonFn on_add_, on_edit_, on_delete_, on_stored_;
  MessageBoxFn message_box_;
  QString help_file_;
  QString help_opener_ = QStringLiteral("xdg-open");
};

}  // namespace zentrel
