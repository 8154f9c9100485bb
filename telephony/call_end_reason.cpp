// The kind and words of each end state; see call_end_reason.h.
#include "telephony/call_end_reason.h"

namespace zentrel {
namespace {

CallEndKind DisconnectKind(DWORD mode) {
  switch (mode) {
    case LINEDISCONNECTMODE_NOANSWER: return CallEndKind::kNoAnswer;
    case LINEDISCONNECTMODE_NODIALTONE: return CallEndKind::kNoDialTone;
    case LINEDISCONNECTMODE_BUSY: return CallEndKind::kBusy;
    case LINEDISCONNECTMODE_UNREACHABLE: return CallEndKind::kNoCarrier;
    default: return CallEndKind::kOther;
  }
}

}  // namespace

const char* DisconnectWords(DWORD mode) {
  switch (mode) {
    case LINEDISCONNECTMODE_NORMAL: return "";
    case LINEDISCONNECTMODE_REJECT: return "";
    case LINEDISCONNECTMODE_UNKNOWN: return "Unknown reason";
    case LINEDISCONNECTMODE_PICKUP: return "Local phone picked up";
    case LINEDISCONNECTMODE_FORWARDED: return "Forwarded";
    case LINEDISCONNECTMODE_BUSY: return "Busy";
    case LINEDISCONNECTMODE_NOANSWER: return "No Answer";
    case LINEDISCONNECTMODE_BADADDRESS: return "Bad Address";
    case LINEDISCONNECTMODE_UNREACHABLE: return "Unreachable";
    case LINEDISCONNECTMODE_CONGESTION: return "Congestion";
    case LINEDISCONNECTMODE_INCOMPATIBLE: return "Incompatible";
    case LINEDISCONNECTMODE_UNAVAIL: return "Unavail";
    case LINEDISCONNECTMODE_NODIALTONE: return "No Dial Tone";
    default: return "LINECALLSTATE; Bad Reason";
  }
}

CallEndReason EndOfState(DWORD state, DWORD mode, bool connected) {
  switch (state) {
    case LINECALLSTATE_BUSY: return {CallEndKind::kBusy, "the line is busy", {}};
    case LINECALLSTATE_SPECIALINFO: return {CallEndKind::kOther, "", {}};
    case LINECALLSTATE_DISCONNECTED:
      return {connected ? CallEndKind::kHungUp : DisconnectKind(mode), DisconnectWords(mode), {}};
    default: return {};
  }
}

CallEndReason LineFailedEnd(LineProblem problem) {
  std::string words = problem.Text();
  return {CallEndKind::kLineFailed, std::move(words), std::move(problem)};
}

}  // namespace zentrel
