// The full-TAP run: look-ups and the number, the pages as they will go out,
// their page-log records, one call in the line's turn, the report. On a
// chosen line that carries pages the same pages go by its delivery.
#include "delivery/full_tap_send.h"

#include <nlohmann/json.hpp>

#include "base/terminal_text.h"
#include "delivery/call_log.h"
#include "delivery/call_runner.h"
#include "delivery/pages_call.h"
#include "delivery/send_page.h"
#include "delivery/tap_view.h"
#include "journal/page_log.h"
#include "paging/page_check.h"
#include "store/dao.h"
#include "tap/pages.h"
#include "telephony/line_choice.h"
#include "telephony/line_service.h"

namespace zentrel {
namespace {

struct Prepared {
  std::vector<tap::OutgoingPage> pages;
  std::vector<std::string> names;  // per page
  std::vector<std::string> typed;  // per page: the message as given
  std::string number;
  std::string refusal;  // not empty: a message that cannot go as asked
};

// Looks every PIN up; all must be served by one terminal (one number)
// unless --phone says which. Returns the usage error, or empty.
std::string LookUpAll(const SendOptions& options, const std::vector<PageOrder>& requests,
                      std::vector<Recipient>& found) {
  // Every PIN is checked before any is looked up: one that is empty, too
  // long or holds a control character would reach nobody or someone else.
  for (const PageOrder& r : requests) {
    if (const std::string refusal = PinRefusal(r.pin); !refusal.empty()) {
      return "page not sent: " + refusal;
    }
  }
  for (const PageOrder& r : requests) {
    found.push_back(LookUp(options.db, r.pin));
    if (!found.back().found)
      return "Did not find Pin number in database, try again! (" + r.pin + ")";
    if (!options.phone && found.back().phone != found.front().phone) {
      return "PINs " + requests.front().pin + " and " + r.pin +
             " are paged through different numbers; send them in separate calls or give --phone";
    }
  }
  const std::string number = options.phone.value_or(found.front().phone);
  if (const std::string refusal = NumberRefusal(number); !refusal.empty()) {
    return "page not sent: " + refusal;
  }
  return {};
}

Prepared Prepare(const SendOptions& options, const std::vector<PageOrder>& requests,
                 const std::vector<Recipient>& found, std::FILE* err) {
  Prepared p;
  p.number = options.phone.value_or(found.front().phone);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const std::string& text = requests[i].text;
    std::vector<std::string> parts{std::string(tap::CutMessage(text, options.max_chars))};
    if (text.size() > options.max_chars && options.split) {
      tap::SplitPages split = tap::SplitMessage(text, options.max_chars);
      if (!split.refusal.empty()) {
        p.refusal = "the message to " + requests[i].pin + " cannot be split: " + split.refusal +
                    "; nothing was sent.";
        return p;
      }
      parts = std::move(split.pages);
    } else if (text.size() > options.max_chars) {
      std::fprintf(
          err,
          "zentrel-send: the message to %s has %zu characters; cut at %zu (--split sends it all)\n",
          requests[i].pin.c_str(), text.size(), parts.front().size());
    }
    for (const std::string& part : parts) {
      p.pages.push_back({requests[i].pin, part});
      p.names.push_back(found[i].names);
      p.typed.push_back(requests[i].typed);
    }
  }
  return p;
}

void Report(const SendOptions& options, const Prepared& p,
            const std::vector<tap::PageReport>& reports, std::FILE* out) {
  nlohmann::json all = nlohmann::json::array();
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const tap::PageReport& r = reports[i];
    const char* outcome = tap::PageStatusName(r.status);
    if (options.json) {
      all.push_back({{"pin", p.pages[i].pin},
                     {"message", p.pages[i].message},
                     {"outcome", outcome},
                     {"terminal", r.terminal},
                     {"reason", r.reason}});
      continue;
    }
    std::string said = r.terminal;
    if (!r.reason.empty() && r.reason != r.terminal) said += (said.empty() ? "" : "; ") + r.reason;
    std::fprintf(out, "%s: %s%s\n", TerminalSafe(p.pages[i].pin).c_str(), outcome,
                 said.empty() ? "" : (" (" + TerminalSafe(said) + ")").c_str());
  }
  if (options.json)
    std::fprintf(out, "%s\n",
                 all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  std::fflush(out);
}

// The page log of the call: a page's record is begun as its first block
// goes and finished as it ends. Pages start in order, so the pages that
// never started are those from `started` on; their records are written
// once the call (and every new try for the line) is over.
class PageRecords : public IPageEvents {
 public:
  PageRecords(const Prepared& p, std::FILE* err)
      : p_(p),
        log_(
            DefaultPageLogPath(),
            [err](const std::string& text) {
              std::fprintf(err, "zentrel-send: %s\n", text.c_str());
            },
            kWritesDuringTheCall) {}
  bool Starting(std::size_t index) override {
    log_.Begin(Attempt(index));
    started_ = index + 1;
    return true;
  }
  void Done(std::size_t index, const tap::PageReport& report) override {
    if (index + 1 == started_) log_.Finish(Logged(report));
  }
  void RecordUnstarted(const std::vector<tap::PageReport>& reports) {
    for (std::size_t i = started_; i < reports.size(); ++i)
      log_.Record(Attempt(i), Logged(reports[i]));
  }

 private:
  PageAttempt Attempt(std::size_t i) const {
    return {"zentrel-send", CurrentUser(),       p_.pages[i].pin, p_.names[i],
            p_.number,      p_.pages[i].message, p_.typed[i]};
  }
  static PageResult Logged(const tap::PageReport& r) {
    return {Logged(r.status), r.reason, r.terminal};
  }
  static PageOutcome Logged(tap::PageStatus status) {
    switch (status) {
      case tap::PageStatus::kAccepted: return PageOutcome::kAccepted;
      case tap::PageStatus::kRefused: return PageOutcome::kRefused;
      case tap::PageStatus::kNotSent: break;
    }
    return PageOutcome::kNotSent;
  }

  const Prepared& p_;
  CallLog log_;
  std::size_t started_ = 0;
};

std::vector<tap::PageReport> CallInTurn(const SendOptions& options, const Prepared& p,
                                        PageRecords& records, std::FILE* err) {
  std::vector<tap::PageReport> reports;
  std::string holder;  // who had the line at the last try
  const std::string never = InTurn(
      options,
      [&] {
        TakeLineProblems();  // only this attempt's
        LineChoice choice = ChooseLineFor(options, err);
        if (choice.carries_pages) {
          for (const LineProblem& problem : choice.skipped)
            std::fprintf(err, "zentrel-send: %s\n", problem.Text().c_str());
          reports =
              RunPagesCall(choice.line, p.pages, options.timeout_seconds, &records, nullptr, err);
          return false;
        }
        std::shared_ptr<ILineDriver> previous;
        const bool chosen = choice.made;
        if (chosen) previous = SetLineDriver(std::move(choice.driver));
        UiLoop loop;
        TapView view(loop, p.pages, options.tap_timings, &records);
        // The one start of a send checks the first PIN and the number; the
        // messages go in the session's own blocks.
        const PageRequest start{p.pages.front().pin, "", p.number};
        const CallEnd end = PlaceCall(options, start, loop,
                                      {view, [&view](ILinkTelephony* t) { view.m_pTapi = t; },
                                       [&view] { return view.over(); }},
                                      err);
        std::string why = end.timed_out ? "the time-out of " +
                                              std::to_string(options.timeout_seconds) + " s passed"
                                        : end.reason;
        reports = view.Reports(why.empty() ? "the call ended" : why);
        holder = end.line_in_use ? end.reason : "";
        if (chosen) SetLineDriver(std::move(previous));
        return end.line_in_use;
      },
      err);
  if (!never.empty()) {
    if (!holder.empty()) holder = " (" + holder + ")";
    for (auto& r : reports) r = {tap::PageStatus::kNotSent, "", never + holder};
  }
  return reports;
}

}  // namespace

int SendFullTap(const SendOptions& options, const std::vector<PageOrder>& requests, std::FILE* out,
                std::FILE* err) {
  std::vector<Recipient> found;
  try {
    if (const std::string usage = LookUpAll(options, requests, found); !usage.empty()) {
      std::fprintf(err, "zentrel-send: %s\n", usage.c_str());
      return kExitUsage;
    }
  } catch (const CDaoException& e) {
    std::vector<PageAttempt> attempts;
    for (const PageOrder& r : requests) {
      attempts.push_back({"zentrel-send", CurrentUser(), r.pin, "", "", r.text, r.typed});
    }
    return StoreFailed(e, attempts, err);
  }
  const Prepared p = Prepare(options, requests, found, err);
  if (!p.refusal.empty()) {
    std::fprintf(err, "zentrel-send: %s\n", p.refusal.c_str());
    return kExitUsage;
  }
  PageRecords records(p, err);
  std::vector<tap::PageReport> reports = CallInTurn(options, p, records, err);
  reports.resize(p.pages.size(), {tap::PageStatus::kNotSent, "", "the call was not made"});
  records.RecordUnstarted(reports);
  bool all_accepted = true;
  for (const auto& r : reports)
    all_accepted = all_accepted && r.status == tap::PageStatus::kAccepted;
  Report(options, p, reports, out);
  return all_accepted ? kExitSent : kExitNotSent;
}

}  // namespace zentrel
