// The answers of handler.h. A queue failure (disk full, a broken file) is
// "unavailable" with the storage's words: the page was not queued.
#include "gateway/handler.h"

#include "gateway/page_json.h"

namespace zentrel::gateway {

namespace {

using nlohmann::json;

queue::Change ChangeOf(Op op) {
  switch (op) {
    case Op::kCancel: return queue::Change::kCancel;
    case Op::kRetry: return queue::Change::kRetry;
    case Op::kHold: return queue::Change::kHold;
    default: return queue::Change::kRelease;
  }
}

json NoSuchPage(queue::PageId id) {
  return ErrorAnswer("no-such-page", "There is no page " + std::to_string(id) + " in the queue.");
}

}  // namespace

json ErrorAnswer(const std::string& code, const std::string& error) {
  return {{"ok", false}, {"code", code}, {"error", error}};
}

json Handler::Answer(const Request& request, uid_t peer, double now, bool accepting) {
  try {
    switch (request.op) {
      case Op::kSubmit: return SubmitBy(request, "uid " + std::to_string(peer), now, accepting);
      case Op::kList: {
        json pages = json::array();
        for (const queue::Page& page : queue_.Newest(1000)) pages.push_back(PageJson(page));
        return {{"ok", true}, {"pages", std::move(pages)}};
      }
      case Op::kShow: {
        const auto page = queue_.Find(request.id);
        if (!page) return NoSuchPage(request.id);
        return {{"ok", true}, {"page", PageJson(*page)}};
      }
      case Op::kWatch: return ErrorAnswer("bad-request", "watch is answered by the connection");
      default: return Change(request, now);
    }
  } catch (const queue::QueueError& e) {
    return ErrorAnswer("unavailable", std::string("The queue failed: ") + e.what());
  }
}

json Handler::SubmitBy(const Request& request, const std::string& by, double now, bool accepting) {
  if (!accepting) return ErrorAnswer("unavailable", "The gateway is stopping; nothing was queued.");
  try {
    return Submit(request, by, now);
  } catch (const queue::QueueError& e) {
    return ErrorAnswer("unavailable", std::string("The queue failed: ") + e.what());
  }
}

json Handler::Submit(const Request& request, const std::string& by, double now) {
  std::vector<queue::NewPage> pages;
  for (std::size_t n = 0; n < request.pages.size(); ++n) {
    const SubmittedPage& in = request.pages[n];
    const PageCheck check = CheckPage(recipients_, in.pin, in.text);
    if (!check.code.empty()) {
      const std::string where =
          request.pages.size() > 1 ? "Page " + std::to_string(n + 1) + ": " : "";
      return ErrorAnswer(check.code, where + check.error);
    }
    const Recipient& r = recipients_.at(in.pin);
    pages.push_back(queue::NewPage{in.pin, r.fname, r.lname, r.phone, in.text, by, request.via,
                                   in.hold_until, in.priority, request.split, request.max_chars});
  }
  return {{"ok", true}, {"ids", queue_.Submit(pages, now)}};
}

json Handler::Change(const Request& request, double now) {
  using Status = queue::ChangeResult::Status;
  const queue::ChangeResult result = queue_.Apply(request.id, ChangeOf(request.op), now);
  const std::string id = std::to_string(request.id);
  switch (result.status) {
    case Status::kNoSuchPage: return NoSuchPage(request.id);
    case Status::kFinal:
      return ErrorAnswer(
          "final", "Page " + id + " is " + queue::StateName(result.page->state) + " already.");
    case Status::kOnTheLine:
      return ErrorAnswer("on-the-line",
                         "Page " + id + " is on the line now; try again once the call is over.");
    case Status::kDone: break;
  }
  return {{"ok", true}, {"page", PageJson(*result.page)}};
}

std::vector<queue::PageId> Handler::Settled(const std::set<queue::PageId>& ids) {
  return queue_.Settled(std::vector<queue::PageId>(ids.begin(), ids.end()));
}

json Handler::WatchLine(queue::PageId id) {
  const auto page = queue_.Find(id);
  if (!page) {
    json answer = NoSuchPage(id);
    answer["id"] = id;
    return answer;
  }
  if (!queue::IsFinal(page->state)) return nullptr;
  return {{"ok", true}, {"page", PageJson(*page)}};
}

}  // namespace zentrel::gateway
