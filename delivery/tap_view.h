// The command-line sender's view for a full TAP session: the link's received
// bytes and the link's start go to the session engine on the sender's loop,
// the engine's texts go to the link's write thread, its time-out is the
// loop's timer, and each page's outcome is kept for the report.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "delivery/ui_loop.h"
#include "seriallink/link_view.h"
#include "tap/session.h"

namespace zentrel {

// What a sender does as each page starts and ends, on the UI loop: the
// page log record, the worker's events. Starting returns false to send no
// more pages (the session then logs off).
class IPageEvents {
 public:
  virtual ~IPageEvents() = default;
  virtual void Connected() {}  // the session starts
  virtual bool Starting(std::size_t index) = 0;
  virtual void Done(std::size_t index, const tap::PageReport& report) = 0;
};

class TapView : public ILinkView, public tap::ISessionIo {
 public:
  TapView(UiLoop& loop, std::vector<tap::OutgoingPage> pages, tap::SessionTimings timings,
          IPageEvents* events = nullptr);

  // ILinkView
  int OnLinkUp() override;  // UI loop: the session starts
  int ProcessReceivedData(const char* text, std::uint32_t length) override;  // read thread
  ILinkTelephony* Tapi() override { return m_pTapi; }
  bool FramesAnswers() const override { return true; }  // the engine acts on each answer's CR

  // tap::ISessionIo, all on the UI loop
  void Send(std::string_view bytes) override;
  void ArmTimer(std::chrono::milliseconds after) override;
  void PageDone(std::size_t index, const tap::PageReport& report) override;
  bool MayStartPage(std::size_t index) override;
  void Finished() override { finished_ = true; }

  bool over() const { return finished_.load(); }
  // After the call (its link gone): pages without an outcome get `why`;
  // then every report.
  std::vector<tap::PageReport> Reports(const std::string& why);

  ILinkTelephony* m_pTapi = nullptr;

 private:
  void TakeInbox();  // UI loop

  UiLoop& loop_;
  IPageEvents* events_;
  tap::TapSession session_;
  std::atomic<bool> finished_{false};
  std::vector<std::optional<tap::PageReport>> reports_;
  std::mutex inbox_mutex_;
  std::string inbox_;  // received, not yet given to the session
};

}  // namespace zentrel
