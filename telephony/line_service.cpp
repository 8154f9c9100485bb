// The line operations: registrations and event routing here, the rest in
// the driver. An event is delivered only while its line is still open, so
// a call's late events never reach a program that has closed the line.
#include "telephony/line_service.h"

#include <atomic>
#include <map>
#include <mutex>
#include <set>

#include "telephony/configured_line_driver.h"
#include "telephony/event_dispatch.h"

namespace zentrel {
namespace {

struct Service {
  std::mutex mutex;
  std::shared_ptr<ILineDriver> driver;
  HLINEAPP next_app = 1;
  struct App {
    LINECALLBACK callback = nullptr;
    IEventDispatcher* dispatcher = nullptr;  // null: the process's
  };
  std::map<HLINEAPP, App> apps;
  std::map<HLINE, HLINEAPP> lines;  // open lines and their registration
};

Service& TheService() {
  static Service service;
  return service;
}

std::shared_ptr<ILineDriver> Driver() {
  Service& s = TheService();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.driver) s.driver = MakeConfiguredLineDriver();
  return s.driver;
}

bool IsRegistered(HLINEAPP app) {
  Service& s = TheService();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.apps.count(app) != 0;
}

IEventDispatcher* DispatcherOf(HLINEAPP app) {
  Service& s = TheService();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.apps.find(app);
  return it == s.apps.end() ? nullptr : it->second.dispatcher;
}

// Runs on the dispatcher's thread.
void Deliver(HLINE line, DWORD device, DWORD msg, DWORD p1, DWORD p2, DWORD p3) {
  LINECALLBACK callback = nullptr;
  {
    Service& s = TheService();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.lines.find(line);
    if (it == s.lines.end()) return;
    auto app = s.apps.find(it->second);
    if (app == s.apps.end()) return;
    callback = app->second.callback;
  }
  if (callback != nullptr) callback(device, msg, 0, p1, p2, p3);
}

}  // namespace

std::shared_ptr<ILineDriver> SetLineDriver(std::shared_ptr<ILineDriver> d) {
  Service& s = TheService();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.driver.swap(d);
  return d;
}

LONG lineInitialize(HLINEAPP* line_app, void*, LINECALLBACK callback, const char*, DWORD* num_devs,
                    IEventDispatcher* dispatcher) {
  if (line_app == nullptr || num_devs == nullptr) return LINEERR_INVALPOINTER;
  DWORD count = 0;
  LONG result = Driver()->Initialize(&count);
  if (result != 0) return result;
  Service& s = TheService();
  std::lock_guard<std::mutex> lock(s.mutex);
  HLINEAPP app = s.next_app++;
  s.apps[app] = {callback, dispatcher};
  *line_app = app;
  *num_devs = count;
  return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP line_app, DWORD device, DWORD low, DWORD high, DWORD* version,
                             LINEEXTENSIONID* extension_id) {
  if (!IsRegistered(line_app)) return LINEERR_INVALAPPHANDLE;
  if (version == nullptr) return LINEERR_INVALPOINTER;
  if (extension_id != nullptr) *extension_id = LINEEXTENSIONID{};
  return Driver()->NegotiateAPIVersion(device, low, high, version);
}

LONG lineGetDevCaps(HLINEAPP line_app, DWORD device, DWORD version, DWORD, LINEDEVCAPS* caps) {
  if (!IsRegistered(line_app)) return LINEERR_INVALAPPHANDLE;
  if (caps == nullptr) return LINEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return LINEERR_STRUCTURETOOSMALL;
  return Driver()->GetDevCaps(device, version, caps);
}

LONG lineGetAddressCaps(HLINEAPP line_app, DWORD device, DWORD address, DWORD version, DWORD,
                        LINEADDRESSCAPS* caps) {
  if (!IsRegistered(line_app)) return LINEERR_INVALAPPHANDLE;
  if (caps == nullptr) return LINEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(LINEADDRESSCAPS)) return LINEERR_STRUCTURETOOSMALL;
  return Driver()->GetAddressCaps(device, address, version, caps);
}

LONG lineOpen(HLINEAPP line_app, DWORD device, HLINE* line, DWORD version, DWORD, DWORD, DWORD,
              DWORD, const LINECALLPARAMS*) {
  if (!IsRegistered(line_app)) return LINEERR_INVALAPPHANDLE;
  if (line == nullptr) return LINEERR_INVALPOINTER;
  auto sink_line = std::make_shared<std::atomic<HLINE>>(0);
  IEventDispatcher* dispatcher = DispatcherOf(line_app);
  LineEventSink sink = [sink_line, dispatcher](DWORD dev, DWORD msg, DWORD p1, DWORD p2, DWORD p3) {
    HLINE owner = sink_line->load();
    PostLineEvent(dispatcher,
                  [owner, dev, msg, p1, p2, p3] { Deliver(owner, dev, msg, p1, p2, p3); });
  };
  HLINE opened = 0;
  // Events of the line come after Open returned, when the handle is known.
  LONG result = Driver()->Open(device, version, &opened, std::move(sink));
  if (result != 0) return result;
  *sink_line = opened;
  Service& s = TheService();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.lines[opened] = line_app;
  *line = opened;
  return 0;
}

LONG lineMakeCall(HLINE line, HCALL* call, const char* destination, DWORD,
                  const LINECALLPARAMS* params) {
  if (call == nullptr) return LINEERR_INVALPOINTER;
  return Driver()->MakeCall(line, call, destination, params);
}

LONG lineGetID(HLINE, DWORD, HCALL call, DWORD, VARSTRING* id, const char* device_class,
               CommHandover* with) {
  if (id == nullptr || device_class == nullptr) return LINEERR_INVALPOINTER;
  if (id->dwTotalSize < sizeof(VARSTRING)) return LINEERR_STRUCTURETOOSMALL;
  return Driver()->GetID(call, device_class, id, with);
}

LONG lineGetCallStatus(HCALL call, LINECALLSTATUS* status) {
  if (status == nullptr) return LINEERR_INVALPOINTER;
  if (status->dwTotalSize < sizeof(LINECALLSTATUS)) return LINEERR_STRUCTURETOOSMALL;
  return Driver()->GetCallStatus(call, status);
}

std::optional<LineProblem> lineGetCallFailure(HCALL call) { return Driver()->CallFailure(call); }

LONG lineDrop(HCALL call, const char*, DWORD) { return Driver()->Drop(call); }

LONG lineDeallocateCall(HCALL call) { return Driver()->DeallocateCall(call); }

LONG lineClose(HLINE line) {
  {
    Service& s = TheService();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.lines.erase(line);
  }
  return Driver()->Close(line);
}

LONG lineShutdown(HLINEAPP line_app) {
  std::set<HLINE> open;
  {
    Service& s = TheService();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.apps.erase(line_app) == 0) return LINEERR_INVALAPPHANDLE;
    for (auto it = s.lines.begin(); it != s.lines.end();) {
      if (it->second == line_app) {
        open.insert(it->first);
        it = s.lines.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::shared_ptr<ILineDriver> driver = Driver();
  for (HLINE line : open) driver->Close(line);
  return driver->Shutdown();
}

}  // namespace zentrel
