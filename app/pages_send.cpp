// PagesSend: the thread runs the line's delivery for the one page and posts
// its report; the step is said as the page starts.
#include "app/pages_send.h"

#include <cstdio>

#include "delivery/pages_call.h"
#include "paging/reply_rules.h"
#include "paging/view/ui_queue.h"

namespace zentrel {
namespace {

class StatusSteps : public IPageEvents {
 public:
  explicit StatusSteps(const PagesSend::StatusFn& status) : status_(status) {}
  bool Starting(std::size_t) override {
    status_(std::string(kStatusBlockSent));
    return true;
  }
  void Done(std::size_t, const tap::PageReport&) override {}

 private:
  const PagesSend::StatusFn& status_;
};

}  // namespace

PagesSend::PagesSend(UiQueue& ui, LineConfig line, tap::OutgoingPage page, StatusFn status,
                     DoneFn done, int timeout_seconds)
    : thread_([this, &ui, line = std::move(line), page = std::move(page),
               status = std::move(status), done = std::move(done), timeout_seconds]() mutable {
        Run(ui, std::move(line), std::move(page), std::move(status), std::move(done),
            timeout_seconds);
      }) {}

PagesSend::~PagesSend() {
  stop_ = true;
  thread_.join();
}

void PagesSend::Run(UiQueue& ui, LineConfig line, tap::OutgoingPage page, StatusFn status,
                    DoneFn done, int timeout_seconds) {
  StatusSteps steps(status);
  const tap::PageReport report =
      RunPagesCall(line, {std::move(page)}, timeout_seconds, &steps, &stop_, stderr).front();
  if (stop_) return;  // going away: nobody is left to hear it
  ui.Post([done = std::move(done), report] { done(report); });
}

}  // namespace zentrel
