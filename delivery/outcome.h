// What became of a page or a call, as a kind a program acts on and the words
// a person reads: accepted, refused by the terminal (its words), or not sent
// for a reason (busy, no answer, the line in use, a time-out...). Senders,
// the page log and the gateway's worker decide from the kind alone; the
// words only say it. The reason codes are the worker protocol's.
#pragma once

#include <string>

namespace zentrel {

namespace tap {
struct PageReport;
}

enum class Reason {
  kNone,             // accepted
  kBusy,             // the number was busy
  kNoAnswer,         // nobody answered the call
  kNoCarrier,        // the modems found no carrier
  kNoDialTone,       // the modem heard no dial tone
  kLineUnusable,     // no configured line could carry the call
  kLineInUse,        // another program held the line past the wait
  kRefusedNumber,    // the number (or PIN) may not be sent to
  kTimeOut,          // the call's time-out passed
  kCallDropped,      // the call ended before the page's answer
  kNakLimit,         // the terminal refused the block again and again
  kInterrupted,      // a signal ended the call
  kTerminalRefused,  // the terminal refused the page (final)
};

// "busy", "no answer", ..., "terminal refused"; "" for kNone.
const char* ReasonCode(Reason reason);

enum class Delivery { kAccepted, kRefused, kNotSent };
const char* DeliveryName(Delivery delivery);  // "accepted", "refused", "not sent"

struct Outcome {
  Delivery delivery = Delivery::kNotSent;
  Reason reason = Reason::kNone;
  std::string words;  // the terminal's words, else the cause in the user's words
};

// A page's outcome from the TAP session's report; `call_end` is the kind of
// the call's end, for a page the session lost with the call.
Outcome OutcomeOfPage(const tap::PageReport& report, Reason call_end);

}  // namespace zentrel
