// When a page that was not delivered is tried again, and when the queue gives
// up on it: a list of waits ("30 60 120 300 600" seconds, the last one
// repeating) and an expiry counted from submission. Which reasons end a page
// for good is decided here too: a refusal by the terminal or of the number.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::queue {

struct RetryPolicy {
  std::vector<double> waits{30, 60, 120, 300, 600};  // seconds
  double expire_after = 3600;                        // seconds after submission
  double dedupe_window = 60;  // same PIN and text within this many seconds: sent once

  // The wait before try number `tries` + 1, once `tries` tries have failed.
  double WaitAfter(int tries) const;
};

// "30 60 120" -> {30, 60, 120}; nullopt for anything else (empty, a
// negative, a word).
std::optional<std::vector<double>> ParseWaits(std::string_view text);

// True for the reason codes that end a page: "terminal refused",
// "refused number".
bool IsFinalReason(std::string_view reason);

// True for a reason that is the line's fault, not the terminal's: the page
// goes to another line at once and the try is not counted.
bool IsLineReason(std::string_view reason);

}  // namespace zentrel::queue
