// The form's pages in the page log. It stands between the serial link and
// the form's view, so it sees the terminal's answer to the block; the log is
// opened once, a record is begun when "Send Page" has dialled and finished,
// from the transaction flags, when that send's call has ended (its end
// notice), or when the next send or the program's end comes first. A log
// that can't be written is said in the trace only.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "delivery/call_log.h"
#include "seriallink/link_view.h"
#include "tap/reply_words.h"

namespace zentrel {

class FormPageLog : public ILinkView {
 public:
  FormPageLog(ILinkView& form_view, const std::string& log_path);
  ~FormPageLog() override;

  // ILinkView: all forwarded to the form's view.
  int StartLogonTimer() override { return view_.StartLogonTimer(); }
  int ProcessReceivedData(const char* text, std::uint32_t length) override;
  ILinkTelephony* Tapi() override { return view_.Tapi(); }

  // Begins the record of the next send; UI thread. Returns its number.
  std::uint64_t Begin(const PageAttempt& attempt);
  // Finishes record `number` if it is still open; UI thread.
  void Finish(std::uint64_t number);
  // The number the next Begin will return.
  std::uint64_t next() const { return begun_ + 1; }
  bool open() const { return open_; }

 private:
  void FinishOpen();

  ILinkView& view_;
  CallLog log_;
  std::uint64_t begun_ = 0;
  bool open_ = false;
  std::mutex mutex_;
  tap::PageAnswer answer_;
};

}  // namespace zentrel
