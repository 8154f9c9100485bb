// The page transaction with the paging terminal, free of widgets: it turns
// each received block into readable text, answers the terminal's replies
// (log-on, message block, log-off) and reports progress through the form
// interface. The send-page view, the command-line sender and the tests each
// run it over their own IPageForm.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "paging/page_form.h"
#include "seriallink/link_view.h"

namespace zentrel {

// The three transaction flags, process-wide, 0 or 1.
extern std::atomic<std::int32_t> g_bBlockSent;
extern std::atomic<std::int32_t> g_bLogonSent;
extern std::atomic<std::int32_t> g_bPageAccepted;

// Clears the three flags, in that order (the first step of a send).
void ClearTransactionFlags();

// The wake-up timer's interval.
inline constexpr int kLogonTimerIntervalMs = 4000;

class CPageTransaction {
 public:
  // `current_link` yields the current link (may be null) each time a text
  // is to be posted.
  CPageTransaction(IPageForm& form, std::function<ILinkWriter*()> current_link);

  // A received block or line-error report (NUL-terminated; `length` unused).
  // Runs on the read thread. Returns 1.
  int ProcessReceivedData(const char* text, std::uint32_t length);

  // One tick of the wake-up timer, on the UI thread. Returns false when the
  // timer must be stopped (the log-on has been sent); nothing is then shown
  // or sent.
  bool OnTimerTick();

 private:
  IPageForm& form_;
  std::function<ILinkWriter*()> current_link_;
};

}  // namespace zentrel
