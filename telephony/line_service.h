// The line operations the program calls, as free functions with the usual
// signatures. They keep the registrations (one per lineInitialize, each with
// its callback), remember which lines each registration opened, route a
// line's events through the dispatcher to its registration's callback, and
// hand everything else to the installed driver.
#pragma once

#include <memory>
#include <optional>

#include "telephony/event_dispatch.h"
#include "telephony/line_driver.h"
#include "telephony/line_problems.h"
#include "telephony/line_types.h"

namespace zentrel {

// Installs the driver (null: the modem driver over the configured devices,
// created on first use). Returns the previous one.
std::shared_ptr<ILineDriver> SetLineDriver(std::shared_ptr<ILineDriver> d);

// The events of the lines this registration opens run on `dispatcher`
// (not owned; it outlives the registration), or the process's when null.
LONG lineInitialize(HLINEAPP* line_app, void* instance, LINECALLBACK callback, const char* app_name,
                    DWORD* num_devs, IEventDispatcher* dispatcher = nullptr);
LONG lineNegotiateAPIVersion(HLINEAPP line_app, DWORD device, DWORD low, DWORD high, DWORD* version,
                             LINEEXTENSIONID* extension_id);
LONG lineGetDevCaps(HLINEAPP line_app, DWORD device, DWORD version, DWORD ext_version,
                    LINEDEVCAPS* caps);
LONG lineGetAddressCaps(HLINEAPP line_app, DWORD device, DWORD address, DWORD version,
                        DWORD ext_version, LINEADDRESSCAPS* caps);
LONG lineOpen(HLINEAPP line_app, DWORD device, HLINE* line, DWORD version, DWORD ext_version,
              DWORD callback_instance, DWORD privileges, DWORD media_modes,
              const LINECALLPARAMS* params);
LONG lineMakeCall(HLINE line, HCALL* call, const char* destination, DWORD country_code,
                  const LINECALLPARAMS* params);
// With `with`, also what goes with the handed-over descriptor (its format,
// a TLS session), which the caller gives the serial link beside it.
LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, VARSTRING* id,
               const char* device_class, CommHandover* with = nullptr);
LONG lineGetCallStatus(HCALL call, LINECALLSTATUS* status);
// Why the call's line could not be brought up, once it has said so; none
// for a call whose end is its state alone.
std::optional<LineProblem> lineGetCallFailure(HCALL call);
LONG lineDrop(HCALL call, const char* user_user_info, DWORD size);
LONG lineDeallocateCall(HCALL call);
LONG lineClose(HLINE line);
LONG lineShutdown(HLINEAPP line_app);

}  // namespace zentrel
