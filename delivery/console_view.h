// The command-line sender's stand-in for the send-page form: the PIN and
// message "boxes" are fixed texts, the status box is a line printed on
// standard output each time the status changes, and the wake-up timer runs on
// the sender's UI loop. It runs the very same page transaction as the form,
// from cleared transaction flags.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "delivery/ui_loop.h"
#include "paging/page_form.h"
#include "paging/transaction.h"
#include "seriallink/link_view.h"
#include "tap/reply_words.h"

namespace zentrel {

class ConsoleView : public IPageForm, public ILinkView {
 public:
  ConsoleView(UiLoop& loop, std::string pin, std::string message, std::FILE* out,
              int timer_interval_ms = kLogonTimerIntervalMs);

  // IPageForm
  std::string PinBoxText() override { return pin_; }
  std::string MessageBoxText() override { return message_; }
  void UpdateStatus(const std::string& text) override;

  // ILinkView
  int OnLinkUp() override;  // starts the wake-up timer
  int ProcessReceivedData(const char* text, std::uint32_t length) override;
  ILinkTelephony* Tapi() override { return m_pTapi; }

  std::string LastStatus() const;
  // What the terminal said in answer to the message block.
  std::string TerminalWords() const;
  ILinkTelephony* m_pTapi = nullptr;  // set by the send before the link has threads

 private:
  UiLoop& loop_;
  const std::string pin_;
  const std::string message_;
  std::FILE* out_;
  const int timer_interval_ms_;
  CPageTransaction transaction_;
  mutable std::mutex status_mutex_;
  std::string last_status_;
  tap::PageAnswer answer_;  // the terminal's answer to the block
};

}  // namespace zentrel
