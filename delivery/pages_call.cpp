// RunPagesCall: the pages become a batch of the line's own delivery (already
// cut or split, so taken as they are); its events become the sender's.
#include "delivery/pages_call.h"

#include <limits>

#include "delivery/wctp_batch.h"

namespace zentrel {
namespace {

class PagesEvents : public IBatchEvents {
 public:
  PagesEvents(std::vector<tap::PageReport>& reports, IPageEvents* events,
              const std::atomic<bool>* stop)
      : reports_(reports), events_(events), stop_(stop) {}

  void Connected(const std::string&) override {
    if (events_) events_->Connected();
  }
  bool Sending(std::size_t page) override { return !events_ || events_->Starting(page); }
  void PageEnded(std::size_t page, const Outcome& outcome, std::chrono::milliseconds) override {
    reports_[page] = PagesReport(outcome);
    told_[page] = true;
    if (events_) events_->Done(page, reports_[page]);
  }
  bool Stopped() const override { return stop_ && stop_->load(); }
  bool Told(std::size_t page) const { return told_[page]; }
  void Expect(std::size_t pages) { told_.assign(pages, false); }

 private:
  std::vector<tap::PageReport>& reports_;
  IPageEvents* events_;
  const std::atomic<bool>* stop_;
  std::vector<bool> told_;
};

}  // namespace

tap::PageReport PagesReport(const Outcome& outcome) {
  switch (outcome.delivery) {
    case Delivery::kAccepted: return {tap::PageStatus::kAccepted, outcome.words, ""};
    case Delivery::kRefused:
      return {tap::PageStatus::kRefused, outcome.words,
              "the carrier refused the page: " + outcome.words};
    case Delivery::kNotSent: break;
  }
  return {tap::PageStatus::kNotSent, "", outcome.words};
}

std::vector<tap::PageReport> RunPagesCall(const LineConfig& line,
                                          const std::vector<tap::OutgoingPage>& pages,
                                          int timeout_seconds, IPageEvents* events,
                                          const std::atomic<bool>* stop, std::FILE* err) {
  BatchCall batch;
  batch.max_chars = std::numeric_limits<std::size_t>::max();  // already to the page's limit
  batch.timeout_seconds = timeout_seconds;
  for (std::size_t i = 0; i < pages.size(); ++i)
    batch.pages.push_back({static_cast<std::int64_t>(i) + 1, pages[i].pin, pages[i].message});
  std::vector<tap::PageReport> reports(pages.size());
  PagesEvents heard(reports, events, stop);
  heard.Expect(pages.size());
  const BatchEnd end = RunWctpBatch(batch, line, heard, err);
  for (std::size_t i = 0; i < pages.size(); ++i)
    if (!heard.Told(i)) reports[i] = {tap::PageStatus::kNotSent, "", end.outcome.words};
  return reports;
}

}  // namespace zentrel
