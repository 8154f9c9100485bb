// What the queue holds and hands out: a page as submitted, a page as stored
// (its state, its attempts, the submissions merged into it), and one try of
// a call as a worker reports it. Plain data with no storage in it, so every
// back-end and the daemon share one vocabulary. Times are Unix seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentrel::queue {

using PageId = std::int64_t;

enum class PageState { kQueued, kOnTheLine, kAccepted, kRefused, kExpired, kCancelled };

// "queued", "on the line", "accepted", "refused", "expired", "cancelled".
const char* StateName(PageState state);
std::optional<PageState> StateFromName(const std::string& name);
bool IsFinal(PageState state);

// A page as a listener hands it over, already checked and resolved.
struct NewPage {
  std::string pin;
  std::string fname;
  std::string lname;
  std::string phone;  // the terminal's number
  std::string text;
  std::string by;         // who: "uid 1000"
  std::string via;        // how: "socket", "zentrel-send", ...
  double not_before = 0;  // 0: at once
  int priority = 0;       // higher goes first
  bool split = false;     // a long text goes in several pages, else it is cut
  int max_chars = 0;      // the terminal's field; 0 for the sender's default
};

// One try of a page (or of a call that never reached it).
struct Attempt {
  double at = 0;
  std::string line;
  std::string outcome;  // "accepted", "refused", "not sent"
  std::string reason;   // a reason code; "" when accepted
  std::string words;    // the terminal's or the modem's words
  std::int64_t duration_ms = 0;
};

struct Page {
  PageId id = 0;
  std::string pin;
  std::string fname;
  std::string lname;
  std::string phone;
  std::string text;
  int priority = 0;
  bool split = false;
  int max_chars = 0;
  PageState state = PageState::kQueued;
  bool held = false;
  double queued_at = 0;
  std::string by;
  std::string via;
  double not_before = 0;
  double expires_at = 0;
  double next_try = 0;
  std::string last_reason;
  bool may_be_duplicate = false;
  std::string holder;                 // the gateway whose call has it on the line (shared queue)
  std::optional<PageId> merged_into;  // this submission was sent as that page
  std::vector<PageId> merged_ids;     // submissions sent as this page
  std::vector<Attempt> attempts;
};

// A merged submission is shown as the page it went out as (that page's state
// and tries), under its own id, time and submitter.
inline Page ShownAsSent(const Page& own, Page sent) {
  sent.id = own.id;
  sent.queued_at = own.queued_at;
  sent.by = own.by;
  sent.via = own.via;
  sent.merged_into = own.merged_into;
  sent.merged_ids.clear();
  return sent;
}

}  // namespace zentrel::queue
