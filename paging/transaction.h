// The page transaction with the paging terminal, free of widgets: it turns
// each received block into readable text, answers the terminal's replies
// (log-on, message block, log-off) and reports progress through the form
// interface. The send-page view, the command-line sender and the tests each
// run it over their own IPageForm.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "paging/page_form.h"
#include "paging/transaction_flags.h"
#include "seriallink/link_view.h"

namespace zentrel {

// The wake-up timer's interval.
inline constexpr int kLogonTimerIntervalMs = 4000;

class CPageTransaction {
 public:
  // `current_link` yields the current link (may be null) each time a text
  // is to be posted.
  CPageTransaction(IPageForm& form, std::function<ILinkWriter*()> current_link);

  // A received block or line-error report (NUL-terminated; `length` unused:
  // the text ends at its first NUL byte; null reads as the empty text). Any
  // length. Runs on the read thread. Returns 1.
  int ProcessReceivedData(const char* text, std::uint32_t length);

  // One tick of the wake-up timer, on the UI thread. Returns false when the
  // timer must be stopped (the log-on has been sent); nothing is then shown
  // or sent.
  bool OnTimerTick();

 private:
  // Hands a fresh copy of `bytes` to the current link; releases the copy
  // when there is no link or the link refuses it.
  void Post(std::string_view bytes) const;

  IPageForm& form_;
  std::function<ILinkWriter*()> current_link_;
};

}  // namespace zentrel
