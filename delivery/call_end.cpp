// The end of a call from the telephony object's end state, refined by the
// line problems of the call: the problem's own sentence says more than the
// kind's general words.
#include "delivery/call_end.h"

#include "telephony/telephony.h"

namespace zentrel {

Reason EndKind(const CTelephony& tapi) {
  if (tapi.m_bLineAllocated.load() != 0) return Reason::kLineInUse;
  switch (tapi.EndReason().kind) {
    case CallEndKind::kNone:
      return tapi.m_bConnected.load() != 0 ? Reason::kNone : Reason::kLineUnusable;
    case CallEndKind::kBusy: return Reason::kBusy;
    case CallEndKind::kNoAnswer: return Reason::kNoAnswer;
    case CallEndKind::kNoCarrier: return Reason::kNoCarrier;
    case CallEndKind::kNoDialTone: return Reason::kNoDialTone;
    case CallEndKind::kHungUp: return Reason::kCallDropped;
    case CallEndKind::kLineFailed: return Reason::kLineUnusable;
    case CallEndKind::kOther: return Reason::kLineUnusable;
  }
  return Reason::kLineUnusable;
}

CallEndCause EndCause(const CTelephony& tapi, const std::vector<LineProblem>& problems) {
  CallEndCause end{EndKind(tapi), "", ""};
  if (end.kind == Reason::kNone && tapi.m_bConnected.load() != 0) end.kind = Reason::kCallDropped;
  // A line that failed to come up for the call says why itself.
  if (const CallEndReason told = tapi.EndReason(); told.kind == CallEndKind::kLineFailed) {
    end.words = told.words;
  }
  for (const LineProblem& problem : problems) {
    switch (problem.kind) {
      case LineProblemKind::kDialAnswer: end.modem = problem.system; break;
      case LineProblemKind::kBadNumber:
        end = {Reason::kRefusedNumber, problem.cause, end.modem};
        break;
      case LineProblemKind::kHeld: end = {Reason::kLineInUse, problem.Text(), end.modem}; break;
      case LineProblemKind::kHangUpUnconfirmed: break;  // after the call's end: not its cause
      default:
        if (end.kind == Reason::kLineUnusable && end.words.empty()) end.words = problem.Text();
        break;
    }
  }
  if (end.words.empty()) end.words = ReasonWords(end.kind);
  return end;
}

std::string ReasonWords(Reason reason) {
  switch (reason) {
    case Reason::kNone: return "";
    case Reason::kBusy: return "the line was busy";
    case Reason::kNoAnswer: return "the number did not answer";
    case Reason::kNoCarrier: return "the modems found no carrier";
    case Reason::kNoDialTone: return "no dial tone";
    case Reason::kLineUnusable: return "no line could carry the call";
    case Reason::kLineInUse: return "the line is in use by another program";
    case Reason::kRefusedNumber: return "the number cannot be dialled";
    case Reason::kTimeOut: return "the terminal did not answer";
    case Reason::kCallDropped: return "the terminal hung up";
    case Reason::kNakLimit: return "the terminal refused the block again and again";
    case Reason::kInterrupted: return "the call was interrupted";
    case Reason::kTerminalRefused: return "the terminal refused the page";
  }
  return "";
}

}  // namespace zentrel
