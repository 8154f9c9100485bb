// The one interface behind which a line device driver sits. The line
// service keeps the registrations and routes events; everything about the
// devices themselves (versions, capabilities, lines, calls, the comm handle)
// is the driver's. The real driver talks to Hayes modems on ttys; the unit
// tests of the program's telephony use a scriptable fake.
#pragma once

#include <functional>
#include <optional>

#include "seriallink/handover.h"
#include "telephony/line_problems.h"
#include "telephony/line_types.h"

namespace zentrel {

// Reports an event of one open line: device handle, message, parameters.
// Drivers may call it from any thread; it never blocks.
using LineEventSink = std::function<void(DWORD, DWORD, DWORD, DWORD, DWORD)>;

class ILineDriver {
 public:
  virtual ~ILineDriver() = default;
  // Called for each registration; writes the device count on 0.
  virtual LONG Initialize(DWORD* num_devs) = 0;
  virtual LONG NegotiateAPIVersion(DWORD device, DWORD low, DWORD high, DWORD* version) = 0;
  virtual LONG GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) = 0;
  virtual LONG GetAddressCaps(DWORD device, DWORD address, DWORD version,
                              LINEADDRESSCAPS* caps) = 0;
  // Writes the line handle on 0; events of the line go to `sink`.
  virtual LONG Open(DWORD device, DWORD version, HLINE* line, LineEventSink sink) = 0;
  // Writes the call handle before returning, so before any event of the
  // call; a positive result is a request id answered by LINE_REPLY.
  virtual LONG MakeCall(HLINE line, HCALL* call, const char* destination,
                        const LINECALLPARAMS* params) = 0;
  // `with` (may be null) gets what goes with a handed-over descriptor.
  virtual LONG GetID(HCALL call, const char* device_class, VARSTRING* id, CommHandover* with) = 0;
  virtual LONG GetCallStatus(HCALL call, LINECALLSTATUS* status) = 0;
  // Why the call's line could not be brought up, once the call has ended
  // for that; none otherwise (and from a driver whose lines never fail so).
  virtual std::optional<LineProblem> CallFailure(HCALL) { return std::nullopt; }
  virtual LONG Drop(HCALL call) = 0;
  virtual LONG DeallocateCall(HCALL call) = 0;
  virtual LONG Close(HLINE line) = 0;
  // Called for each lineShutdown, after the service closed its lines.
  virtual LONG Shutdown() = 0;
};

}  // namespace zentrel
