// The form's pages in the page log. It stands between the serial link and
// the form's view, so it sees the terminal's answer to the block; the log is
// opened once, a record is begun when "Send Page" has dialled and concluded
// on the UI thread when that send's call has ended: from the transaction
// flags, the terminal's words, what the form showed and why the call ended
// (call_end.h), the modem's words kept beside the cause. A log that can't be
// written is said in the trace only.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "delivery/call_end.h"
#include "delivery/call_log.h"
#include "seriallink/link_view.h"
#include "tap/reply_words.h"

namespace zentrel {

class FormPageLog : public ILinkView {
 public:
  FormPageLog(ILinkView& form_view, const std::string& log_path);
  ~FormPageLog() override;

  // ILinkView: all forwarded to the form's view.
  int OnLinkUp() override { return view_.OnLinkUp(); }
  int ProcessReceivedData(const char* text, std::uint32_t length) override;
  ILinkTelephony* Tapi() override { return view_.Tapi(); }

  // What the form saw of the call besides the transaction flags.
  struct Seen {
    bool refused = false;  // the terminal's refusal was shown
    bool closing = false;  // the program ended the call on its way out
    bool silent = false;   // the form hung up on a terminal silent for the call time-out
  };

  // Begins the record of the next send; UI thread. A record still open is
  // concluded first as a call that ended unexplained.
  void Begin(const PageAttempt& attempt);
  // Concludes the open record; returns its outcome, or, when no record is
  // open, that of the one concluded last. UI thread.
  Outcome Conclude(const CallEndCause& end, const Seen& seen);
  // Concludes the open record with an outcome known as it is (a page sent
  // on a line that carries pages: the carrier's words are the terminal's).
  // UI thread.
  Outcome Finish(const Outcome& outcome);
  bool open() const { return open_; }

 private:
  Outcome OutcomeOf(const CallEndCause& end, const Seen& seen, const std::string& words) const;

  ILinkView& view_;
  CallLog log_;
  bool open_ = false;
  Outcome last_;
  std::mutex mutex_;
  tap::PageAnswer answer_;
};

}  // namespace zentrel
