// What every kind of send from the command line shares: the recipient's
// look-up, one call (a new link and telephony object, the dial, a loop that
// carries the line's events until the call ends), and taking the line's turn
// (queue, then new tries while another program holds the line).
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "delivery/outcome.h"
#include "delivery/send_options.h"
#include "delivery/ui_loop.h"
#include "paging/send_request.h"
#include "seriallink/link_view.h"
#include "telephony/line_choice.h"
#include "telephony/line_problems.h"

namespace zentrel {

struct Recipient {
  bool found = false;
  std::string phone;
  std::string names;  // first and last name
};

// The form's look-up: filter on the PIN and re-query. Throws the store's error.
Recipient LookUp(const std::string& db, const std::string& pin);

// What a call's view offers the runner besides the link's calls.
struct CallView {
  ILinkView& view;
  std::function<void(ILinkTelephony*)> set_tapi;  // before the link has threads
  // True once the session has nothing more to do; the call is then ended
  // if the terminal hasn't hung up within the grace time.
  std::function<bool()> over;
  // After a signal: how long the session may go on to end properly (log
  // off) before the call is ended; zero ends it at once.
  std::chrono::milliseconds signal_grace{0};
};

struct CallEnd {
  bool line_in_use = false;     // another program had the line: worth a new try
  bool timed_out = false;       // the call was ended at the time-out
  bool interrupted = false;     // a signal ended the call; `reason` says which
  bool connected = false;       // the call reached the terminal
  Reason kind = Reason::kNone;  // why the call ended, as the telephony object was told it
  std::string reason;           // why the call ended, or who holds the line
  // kLineUnusable: what made the line unusable (its kind, the system's text).
  LineProblem unusable;
};

inline constexpr std::chrono::milliseconds kHangUpGrace{5000};

// One call on `loop` through the one start of a send (its checks, the new
// link and telephony object, the dial), for at most options.timeout_seconds.
CallEnd PlaceCall(const SendOptions& options, const PageRequest& request, UiLoop& loop,
                  const CallView& view, std::FILE* err);

// The line the line service would take (line_choice.h), its trace texts
// shown on `err` only with options.trace, as during a call.
LineChoice ChooseLineFor(const SendOptions& options, std::FILE* err);

// Waits for the line's turn (saying "Waiting for the line..." once on `err`),
// then runs `attempt` until it returns false (the line was not in use) or
// options.wait_seconds have passed. Returns the reason when the turn never
// came, else empty. The turn is the lines file's, or `line`'s when named: a
// gateway's calls each wait only for their own line, not for its others.
std::string InTurn(const SendOptions& options, const std::function<bool()>& attempt, std::FILE* err,
                   const std::string& line = "");

}  // namespace zentrel
