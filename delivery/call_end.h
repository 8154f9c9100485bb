// Why a call ended, as a kind and in the user's words, from what the line
// service told the telephony object (its first end state and mode) and the
// line problems noted during the call: a number the line refused to dial
// names the character, a held port names its holder, and the modem's own
// answer to the dial ("BUSY") is kept beside the cause. Nothing here reads
// a message's words to learn a kind.
#pragma once

#include <string>
#include <vector>

#include "delivery/outcome.h"
#include "telephony/line_problems.h"

namespace zentrel {

class CTelephony;

// The kind of the call's end; kNone when nothing went wrong that it knows of.
Reason EndKind(const CTelephony& tapi);

struct CallEndCause {
  Reason kind = Reason::kNone;
  std::string words;  // the cause for the user ("the line was busy"); "" for kNone
  std::string modem;  // the modem's own answer to the dial, when it gave one
};

// `problems`: those noted during the call, in order. A connected call
// whose end no state explains was ended by the other end (kCallDropped).
CallEndCause EndCause(const CTelephony& tapi, const std::vector<LineProblem>& problems);

// The cause of a kind in the user's words ("the line was busy", "no dial
// tone"); "" for kNone.
std::string ReasonWords(Reason reason);

}  // namespace zentrel
