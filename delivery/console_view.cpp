// ConsoleView: status lines are printed under a lock so that texts from the
// read thread and the UI loop keep their order and never interleave. The
// terminal's answer to the block is kept for the page log.
#include "delivery/console_view.h"

#include "base/terminal_text.h"
#include "paging/transaction_flags.h"
#include "seriallink/comm_link.h"
#include "tap/reply_words.h"

namespace zentrel {

ConsoleView::ConsoleView(UiLoop& loop, std::string pin, std::string message, std::FILE* out,
                         int timer_interval_ms)
    : loop_(loop),
      pin_(std::move(pin)),
      message_(std::move(message)),
      out_(out),
      timer_interval_ms_(timer_interval_ms),
      transaction_(*this, []() -> ILinkWriter* { return g_pCommLink.load(); }) {
  ClearTransactionFlags();  // the form's "Send Page" clears them first too
}

void ConsoleView::UpdateStatus(const std::string& text) {
  std::lock_guard lock(status_mutex_);
  if (text == last_status_) return;  // the box would show the same text
  last_status_ = text;
  std::fprintf(out_, "%s\n", TerminalSafe(text).c_str());
  std::fflush(out_);
}

std::string ConsoleView::LastStatus() const {
  std::lock_guard lock(status_mutex_);
  return last_status_;
}

int ConsoleView::OnLinkUp() {
  loop_.StartTimer(std::chrono::milliseconds(timer_interval_ms_), [this] {
    if (!transaction_.OnTimerTick()) loop_.StopTimer();
  });
  return 1;
}

std::string ConsoleView::TerminalWords() const {
  std::lock_guard lock(status_mutex_);
  return answer_.words();
}

int ConsoleView::ProcessReceivedData(const char* text, std::uint32_t length) {
  if (text != nullptr && g_bBlockSent == 1) {
    std::lock_guard lock(status_mutex_);
    answer_.Feed(text);
  }
  return transaction_.ProcessReceivedData(text, length);
}

}  // namespace zentrel
