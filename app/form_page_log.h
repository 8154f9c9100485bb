// The form's pages in the page log. It stands between the serial link and
// the form's view, so it sees the terminal's answer to the block; a record
// is begun when "Send Page" has dialled and finished, from the transaction
// flags, once the call is over (or when the next send or the program's end
// comes first). A log that can't be written is said in the trace only.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "journal/page_journal.h"
#include "seriallink/link_view.h"
#include "tap/reply_words.h"

namespace zentrel {

class FormPageLog : public ILinkView {
 public:
  FormPageLog(ILinkView& form_view, std::string log_path);
  ~FormPageLog() override;

  // ILinkView: all forwarded to the form's view.
  int StartLogonTimer() override { return view_.StartLogonTimer(); }
  int ProcessReceivedData(const char* text, std::uint32_t length) override;
  ILinkTelephony* Tapi() override { return view_.Tapi(); }

  void Begin(const PageAttempt& attempt);  // UI thread
  // Finishes the open record when `call_over`; UI thread.
  void Update(bool call_over);
  bool open() const { return journal_ != nullptr; }

 private:
  void Finish();

  ILinkView& view_;
  const std::string path_;
  std::unique_ptr<PageJournal> journal_;
  std::mutex mutex_;
  tap::PageAnswer answer_;
};

}  // namespace zentrel
