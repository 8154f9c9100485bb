// A page of the form sent on a line that carries pages (line_choice.h). The
// line's delivery (a POST that may take seconds) runs on a thread of its
// own so the form stays live: its step reaches the status box through the
// form's UpdateStatus, which queues to the UI thread, and its report comes
// back to the UI thread through a UiQueue. The thread touches no widget and
// waits on nothing of the UI thread; the UI thread waits on it only when
// the send goes away (the form closing), after telling it to stop, which
// abandons a POST under way within about a second.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tap/session.h"
#include "telephony/lines_config.h"

namespace zentrel {

class UiQueue;

class PagesSend {
 public:
  // Status texts, from the send's thread.
  using StatusFn = std::function<void(const std::string&)>;
  // The page's report, on the UI thread (the queue's).
  using DoneFn = std::function<void(const tap::PageReport&)>;

  // The POST's time limit: within the form's call time-out.
  static constexpr int kTimeoutSeconds = 50;

  PagesSend(UiQueue& ui, LineConfig line, tap::OutgoingPage page, StatusFn status, DoneFn done,
            int timeout_seconds = kTimeoutSeconds);
  ~PagesSend();
  PagesSend(const PagesSend&) = delete;
  PagesSend& operator=(const PagesSend&) = delete;

 private:
  void Run(UiQueue& ui, LineConfig line, tap::OutgoingPage page, StatusFn status, DoneFn done,
           int timeout_seconds);

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zentrel
