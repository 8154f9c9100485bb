// How a call ended, as the line layer knows it: a kind a program acts on,
// the words the user reads (the line service's own, "No Dial Tone"), and for
// a line that could not be brought up, its problem with the system's own
// text (errno's, the TLS library's). The telephony object sets it where it
// traces the end; nothing needs to read a trace line or a message to learn it.
#pragma once

#include <string>

#include "telephony/line_problems.h"
#include "telephony/line_types.h"

namespace zentrel {

enum class CallEndKind {
  kNone,        // no end state was reported (the call is up, or was ended here)
  kBusy,        // the number was busy
  kNoAnswer,    // nobody answered
  kNoCarrier,   // the modems found no carrier
  kNoDialTone,  // the modem heard no dial tone
  kHungUp,      // a connected call was ended by the other end or the line
  kLineFailed,  // the line could not be brought up for the call: `problem` says why
  kOther,       // another end (special information, an unknown or rejected call)
};

struct CallEndReason {
  CallEndKind kind = CallEndKind::kNone;
  std::string words;    // "the line is busy", "No Dial Tone"; may be empty
  LineProblem problem;  // kLineFailed: its kind, the sentence, the system's text
};

// The words of a disconnect mode ("No Answer", "Unknown reason"); empty for
// a normal end or a rejected call, which say nothing about why.
const char* DisconnectWords(DWORD mode);

// The end that the line service's end state says (BUSY, SPECIALINFO, or
// DISCONNECTED with its mode); `connected`: the call had connected.
CallEndReason EndOfState(DWORD state, DWORD mode, bool connected);

// A call whose line failed to come up, for `problem`.
CallEndReason LineFailedEnd(LineProblem problem);

}  // namespace zentrel
