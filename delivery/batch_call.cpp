// RunBatchCall: the batch's pages become the session's pages (a long text
// split or cut), the configured driver is narrowed to the one line, and one
// call is placed in the line's turn. Each part knows its batch page, so the
// caller hears "sending" before a page's first part and its outcome after
// its last; a page the session never started gets no outcome here.
#include "delivery/batch_call.h"

#include "delivery/call_runner.h"
#include "delivery/interruption.h"
#include "delivery/one_line_driver.h"
#include "delivery/tap_view.h"
#include "delivery/ui_loop.h"
#include "delivery/wctp_batch.h"
#include "paging/page_check.h"
#include "tap/pages.h"
#include "telephony/configured_line_driver.h"
#include "telephony/line_service.h"
#include "telephony/lines_config.h"
#include "telephony/wctp_line.h"

namespace zentrel {
namespace {

// After a signal the session finishes its block and logs off; the call is
// ended after this long at the latest.
constexpr std::chrono::milliseconds kSignalGrace{10000};

struct Part {
  std::size_t page;  // in the batch
  bool first, last;
};

struct Parts {
  std::vector<tap::OutgoingPage> pages;
  std::vector<Part> of;
};

// A text over the limit is cut, or with `split` numbered pages; a split
// that cannot be made is refused by BatchRefusal before any call.
std::vector<std::string> Texts(const BatchCall& batch, const std::string& text) {
  if (text.size() <= batch.max_chars || !batch.split)
    return {std::string(tap::CutMessage(text, batch.max_chars))};
  return tap::SplitMessage(text, batch.max_chars).pages;
}

Parts Split(const BatchCall& batch) {
  Parts parts;
  for (std::size_t i = 0; i < batch.pages.size(); ++i) {
    const BatchPage& page = batch.pages[i];
    const std::vector<std::string> texts = Texts(batch, page.text);
    for (std::size_t k = 0; k < texts.size(); ++k) {
      parts.pages.push_back({page.pin, texts[k]});
      parts.of.push_back({i, k == 0, k + 1 == texts.size()});
    }
  }
  return parts;
}

// The caller's events for the parts of the session, on the UI loop.
class BatchView : public IPageEvents {
 public:
  BatchView(const Parts& parts, IBatchEvents& events, std::string line_name)
      : parts_(parts), events_(events), line_name_(std::move(line_name)) {}

  void Connected() override { events_.Connected(line_name_); }
  bool Starting(std::size_t index) override {
    if (events_.Stopped() || InterruptingSignal() != 0) return false;
    const Part& part = parts_.of[index];
    if (!part.first) return true;
    started_ = part.page + 1;
    since_ = std::chrono::steady_clock::now();
    worst_ = {Delivery::kAccepted, Reason::kNone, ""};
    return events_.Sending(part.page);
  }
  void Done(std::size_t index, const tap::PageReport& report) override {
    const Part& part = parts_.of[index];
    if (part.page + 1 != started_ || ended_ == started_) return;  // never started, or told
    const Outcome outcome = OutcomeOfPage(report, call_end_);
    if (worst_.delivery == Delivery::kAccepted) worst_ = outcome;
    if (!part.last && outcome.delivery == Delivery::kAccepted) return;
    ended_ = started_;
    ++told_;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - since_);
    events_.PageEnded(part.page, worst_, took);
  }
  void CallEnded(Reason kind) { call_end_ = kind == Reason::kNone ? Reason::kCallDropped : kind; }
  bool AllTold(std::size_t pages) const { return told_ == pages; }

 private:
  const Parts& parts_;
  IBatchEvents& events_;
  const std::string line_name_;
  Reason call_end_ = Reason::kCallDropped;
  std::size_t started_ = 0;  // batch page + 1 of the page under way
  std::size_t ended_ = 0;    // batch page + 1 of the last page told
  std::size_t told_ = 0;     // pages whose outcome the caller heard
  std::chrono::steady_clock::time_point since_;
  Outcome worst_;
};

// Why the pages left without an outcome were not sent.
Reason EndReason(const CallEnd& end, const IBatchEvents& events) {
  if (events.Stopped() || InterruptingSignal() != 0) return Reason::kInterrupted;
  return end.kind == Reason::kNone ? Reason::kCallDropped : end.kind;
}

const LineConfig* ConfiguredLine(const LinesConfig& config, int line) {
  if (line < 0 || static_cast<std::size_t>(line) >= config.lines.size()) return nullptr;
  return &config.lines[static_cast<std::size_t>(line)];
}

}  // namespace

Outcome BatchRefusal(const BatchCall& batch) {
  const auto refused = [](Reason reason, std::string words) {
    return Outcome{Delivery::kNotSent, reason, std::move(words)};
  };
  for (const BatchPage& page : batch.pages) {
    if (const std::string refusal = PinRefusal(page.pin); !refusal.empty()) {
      return refused(Reason::kRefusedNumber, "page " + std::to_string(page.id) + ": " + refusal);
    }
    if (batch.split && page.text.size() > batch.max_chars) {
      const std::string refusal = tap::SplitMessage(page.text, batch.max_chars).refusal;
      if (!refusal.empty())
        return refused(Reason::kRefusedNumber, "page " + std::to_string(page.id) + ": " + refusal);
    }
  }
  const LinesConfig config = LoadLinesConfig(batch.lines_file);
  const LineConfig* line = ConfiguredLine(config, batch.line);
  if (line == nullptr) {
    return refused(Reason::kLineUnusable,
                   batch.lines_file + " has no line " + std::to_string(batch.line) +
                       " (lines count from 0)" +
                       (config.why_none.empty() ? "" : ": " + config.why_none));
  }
  if (line->Dials()) {
    if (std::string refusal = NumberRefusal(batch.phone); !refusal.empty()) {
      return refused(Reason::kRefusedNumber, std::move(refusal));
    }
  }
  return {Delivery::kAccepted, Reason::kNone, ""};
}

BatchEnd RunBatchCall(const BatchCall& batch, IBatchEvents& events, std::FILE* err) {
  const LinesConfig config = LoadLinesConfig(batch.lines_file);
  const LineConfig* line = ConfiguredLine(config, batch.line);
  if (line == nullptr) return {false, {Delivery::kNotSent, Reason::kLineUnusable, "no such line"}};
  if (line->As<WctpLineFields>()) return RunWctpBatch(batch, *line, events, err);
  const std::string file = batch.lines_file;
  auto previous = SetLineDriver(std::make_shared<OneLineDriver>(
      std::make_shared<ConfiguredLineDriver>([file] { return file; }),
      static_cast<DWORD>(batch.line)));
  SendOptions options;
  options.timeout_seconds = batch.timeout_seconds;
  options.wait_seconds = batch.wait_seconds;
  const Parts parts = Split(batch);
  const PageRequest start{parts.pages.front().pin, "", batch.phone, !line->Dials()};
  BatchEnd result;
  const std::string never = InTurn(
      options,
      [&] {
        UiLoop loop;
        BatchView pages(parts, events, line->LineName());
        TapView view(loop, parts.pages, options.tap_timings, &pages);
        const CallEnd end = PlaceCall(options, start, loop,
                                      {view, [&view](ILinkTelephony* t) { view.m_pTapi = t; },
                                       [&view] { return view.over(); }, kSignalGrace},
                                      err);
        pages.CallEnded(end.kind);
        const std::string why = end.reason.empty() ? "the call ended" : end.reason;
        view.Reports(why);
        result = {pages.AllTold(batch.pages.size()), {Delivery::kAccepted, Reason::kNone, ""}};
        if (!result.completed) {
          const Reason reason = EndReason(end, events);
          const bool stopped = reason == Reason::kInterrupted && !end.interrupted;
          result.outcome = {Delivery::kNotSent, reason, stopped ? "the batch was stopped" : why};
        }
        return end.line_in_use;
      },
      err, line->LineName());
  if (!never.empty()) result = {false, {Delivery::kNotSent, Reason::kLineInUse, never}};
  SetLineDriver(std::move(previous));
  return result;
}

}  // namespace zentrel
