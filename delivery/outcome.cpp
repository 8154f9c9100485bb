// The outcome kinds' names, as the worker protocol spells them.
#include "delivery/outcome.h"

#include "tap/session.h"

namespace zentrel {

const char* ReasonCode(Reason reason) {
  switch (reason) {
    case Reason::kNone: return "";
    case Reason::kBusy: return "busy";
    case Reason::kNoAnswer: return "no answer";
    case Reason::kNoCarrier: return "no carrier";
    case Reason::kNoDialTone: return "no dial tone";
    case Reason::kLineUnusable: return "line unusable";
    case Reason::kLineInUse: return "line in use";
    case Reason::kRefusedNumber: return "refused number";
    case Reason::kTimeOut: return "time-out";
    case Reason::kCallDropped: return "call dropped";
    case Reason::kNakLimit: return "nak limit";
    case Reason::kInterrupted: return "interrupted";
    case Reason::kTerminalRefused: return "terminal refused";
  }
  return "";
}

const char* DeliveryName(Delivery delivery) {
  switch (delivery) {
    case Delivery::kAccepted: return "accepted";
    case Delivery::kRefused: return "refused";
    case Delivery::kNotSent: break;
  }
  return "not sent";
}

Outcome OutcomeOfPage(const tap::PageReport& report, Reason call_end) {
  const std::string words = report.terminal.empty() ? report.reason : report.terminal;
  switch (report.status) {
    case tap::PageStatus::kAccepted: return {Delivery::kAccepted, Reason::kNone, report.terminal};
    case tap::PageStatus::kRefused: return {Delivery::kRefused, Reason::kTerminalRefused, words};
    case tap::PageStatus::kNotSent: break;
  }
  switch (report.cause) {
    case tap::NotSentCause::kNakLimit: return {Delivery::kNotSent, Reason::kNakLimit, words};
    case tap::NotSentCause::kTimeOut: return {Delivery::kNotSent, Reason::kTimeOut, words};
    case tap::NotSentCause::kTerminalEnded:
      return {Delivery::kNotSent, Reason::kCallDropped, words};
    case tap::NotSentCause::kCallEnded:
    case tap::NotSentCause::kNone: break;
  }
  return {Delivery::kNotSent, call_end == Reason::kNone ? Reason::kCallDropped : call_end, words};
}

}  // namespace zentrel
