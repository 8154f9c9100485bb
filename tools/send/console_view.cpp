// ConsoleView: status lines are printed under a lock so that texts from the
// read thread and the UI loop keep their order and never interleave. The
// terminal's answer to the block is kept for the page log.
#include "tools/send/console_view.h"

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
      transaction_(*this, []() -> ILinkWriter* { return g_pCommLink.load(); }) {}

void ConsoleView::UpdateStatus(const std::string& text) {
  std::lock_guard lock(status_mutex_);
  if (text == last_status_) return;  // the box would show the same text
  last_status_ = text;
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

std::string ConsoleView::LastStatus() const {
  std::lock_guard lock(status_mutex_);
  return last_status_;
}

int ConsoleView::StartLogonTimer() {
  loop_.StartTimer(std::chrono::milliseconds(timer_interval_ms_), [this] {
    if (!transaction_.OnTimerTick()) loop_.StopTimer();
  });
  return 1;
}

std::string ConsoleView::TerminalWords() const {
  std::lock_guard lock(status_mutex_);
  return terminal_words_;
}

int ConsoleView::ProcessReceivedData(const char* text, std::uint32_t length) {
  // The answer runs from the block's going out to the terminal's ACK, NAK
  // or RS; what follows (goodbye, the modem's NO CARRIER) is not about it.
  if (text != nullptr && g_bBlockSent == 1 && !answered_) {
    const std::string words = tap::ReplyWords(text);
    std::lock_guard lock(status_mutex_);
    if (!words.empty()) terminal_words_ += (terminal_words_.empty() ? "" : " / ") + words;
    answered_ = std::string_view(text).find_first_of("\x06\x15\x1e") != std::string_view::npos;
  }
  return transaction_.ProcessReceivedData(text, length);
}

}  // namespace zentrel
