// The modem line driver; see modem_line_driver.h. Calls are joined outside
// the driver's lock, so a call thread reporting an event never waits for a
// caller that is joining it.
#include "telephony/modem_line_driver.h"

#include <cstring>

#include <unistd.h>

#include "seriallink/trace.h"

namespace zentrel {
namespace {

constexpr DWORD kVersionLow = 0x10003;
constexpr DWORD kVersionHigh = 0x10004;
constexpr const char* kDataModemClass = "comm/datamodem";

}  // namespace

ModemLineDriver::ModemLineDriver(ConfigPathFn config_path,
                                 HayesTimings timings)
    : config_path_(std::move(config_path)), timings_(timings) {}

ModemLineDriver::~ModemLineDriver() {
  std::map<HLINE, std::unique_ptr<Line>> lines;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines.swap(lines_);
  }
  for (auto& [handle, line] : lines) line->hayes.reset();
}

LONG ModemLineDriver::Initialize(DWORD* num_devs) {
  std::string path = config_path_();
  LinesConfig config = LoadLinesConfig(path);
  if (!config.error.empty())
    OutputDebugStringA("Line devices: " + path + " " + config.error + "\n");
  std::lock_guard<std::mutex> lock(mutex_);
  modems_ = config.modems;
  if (!config.error.empty()) return LINEERR_INIFILECORRUPT;
  *num_devs = static_cast<DWORD>(modems_.size());
  return 0;
}

bool ModemLineDriver::FindModem(DWORD device, ModemConfig* modem) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device >= modems_.size()) return false;
  *modem = modems_[device];
  return true;
}

LONG ModemLineDriver::NegotiateAPIVersion(DWORD device, DWORD low,
                                          DWORD high, DWORD* version) {
  ModemConfig modem;
  if (!FindModem(device, &modem)) return LINEERR_BADDEVICEID;
  if (low > kVersionHigh || high < kVersionLow)
    return LINEERR_INCOMPATIBLEAPIVERSION;
  *version = high < kVersionHigh ? high : kVersionHigh;
  return 0;
}

LONG ModemLineDriver::GetDevCaps(DWORD device, DWORD version,
                                 LINEDEVCAPS* caps) {
  ModemConfig modem;
  if (!FindModem(device, &modem)) return LINEERR_BADDEVICEID;
  const std::string name = modem.LineName();
  const DWORD fixed = sizeof(LINEDEVCAPS);
  const DWORD needed = fixed + static_cast<DWORD>(name.size() + 1);
  caps->dwNeededSize = needed;
  caps->dwUsedSize = fixed;
  if (caps->dwTotalSize >= needed) {
    std::memcpy(reinterpret_cast<char*>(caps) + fixed, name.c_str(),
                name.size() + 1);
    caps->dwLineNameSize = static_cast<DWORD>(name.size() + 1);
    caps->dwLineNameOffset = fixed;
    caps->dwUsedSize = needed;
  }
  caps->dwPermanentLineID = device;
  caps->dwStringFormat = STRINGFORMAT_ASCII;
  caps->dwAddressModes = LINEADDRESSMODE_ADDRESSID;
  caps->dwNumAddresses = 1;
  caps->dwBearerModes = LINEBEARERMODE_VOICE;
  caps->dwMaxRate = 300;
  caps->dwMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
  caps->dwMaxNumActiveCalls = 1;
  if (version >= 0x10004) caps->dwLineFeatures = LINEFEATURE_MAKECALL;
  return 0;
}

LONG ModemLineDriver::GetAddressCaps(DWORD device, DWORD address, DWORD,
                                     LINEADDRESSCAPS* caps) {
  ModemConfig modem;
  if (!FindModem(device, &modem)) return LINEERR_BADDEVICEID;
  if (address != 0) return LINEERR_INVALPOINTER;
  caps->dwNeededSize = sizeof(LINEADDRESSCAPS);
  caps->dwUsedSize = sizeof(LINEADDRESSCAPS);
  caps->dwLineDeviceID = device;
  caps->dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING |
                       LINECALLSTATE_BUSY | LINECALLSTATE_CONNECTED |
                       LINECALLSTATE_DISCONNECTED;
  caps->dwDisconnectModes =
      LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNKNOWN |
      LINEDISCONNECTMODE_NOANSWER | LINEDISCONNECTMODE_UNREACHABLE |
      LINEDISCONNECTMODE_NODIALTONE;
  caps->dwMaxNumActiveCalls = 1;
  return 0;
}

LONG ModemLineDriver::Open(DWORD device, DWORD, HLINE* line,
                           LineEventSink sink) {
  ModemConfig modem;
  if (!FindModem(device, &modem)) return LINEERR_BADDEVICEID;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [handle, open] : lines_)
    if (open->device == device) return LINEERR_ALLOCATED;
  std::string error;
  bool busy = false;
  auto port = HayesPort::Open(modem.port, &error, &busy);
  if (!port) {
    OutputDebugStringA("Modem on " + modem.port + ": cannot open: " + error +
                       "\n");
    return busy ? LINEERR_ALLOCATED : LINEERR_NODEVICE;
  }
  auto opened = std::make_unique<Line>();
  opened->device = device;
  opened->modem = modem;
  opened->port = std::move(port);
  opened->sink = std::move(sink);
  *line = next_handle_++;
  lines_[*line] = std::move(opened);
  return 0;
}

DWORD ModemLineDriver::NextRequest() { return next_request_++; }

LONG ModemLineDriver::MakeCall(HLINE line, HCALL* call,
                               const char* destination,
                               const LINECALLPARAMS*) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = lines_.find(line);
  if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
  Line& open = *it->second;
  if (open.hayes) return LINEERR_RESOURCEUNAVAIL;
  const HCALL handle = next_handle_++;
  LineEventSink sink = open.sink;
  open.call = handle;
  open.hayes = std::make_unique<HayesCall>(
      *open.port, open.modem.init, destination ? destination : "", timings_,
      [sink, handle](DWORD state, DWORD detail) {
        sink(handle, LINE_CALLSTATE, state, detail, 0);
      });
  *call = handle;
  const DWORD request = NextRequest();
  sink(line, LINE_REPLY, request, 0, 0);
  open.hayes->Start();
  return static_cast<LONG>(request);
}

ModemLineDriver::Line* ModemLineDriver::LineOfCall(HCALL call) {
  for (auto& [handle, line] : lines_)
    if (call != 0 && line->call == call && line->hayes) return line.get();
  return nullptr;
}

LONG ModemLineDriver::GetID(HCALL call, const char* device_class,
                            VARSTRING* id) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  if (line == nullptr) return LINEERR_INVALCALLHANDLE;
  if (std::strcmp(device_class, kDataModemClass) != 0)
    return LINEERR_INVALDEVICECLASS;
  if (line->hayes->State() != LINECALLSTATE_CONNECTED)
    return LINEERR_INVALCALLSTATE;
  const std::string& name = line->port->path();
  const DWORD fixed = sizeof(VARSTRING);
  const DWORD string_size = static_cast<DWORD>(sizeof(std::int32_t) +
                                               name.size() + 1);
  id->dwNeededSize = fixed + string_size;
  id->dwUsedSize = fixed;
  if (id->dwTotalSize < id->dwNeededSize) return 0;
  const std::int32_t handle = ::dup(line->port->fd());
  if (handle < 0) return LINEERR_RESOURCEUNAVAIL;
  char* text = reinterpret_cast<char*>(id) + fixed;
  std::memcpy(text, &handle, sizeof handle);
  std::memcpy(text + sizeof handle, name.c_str(), name.size() + 1);
  id->dwStringFormat = STRINGFORMAT_BINARY;
  id->dwStringSize = string_size;
  id->dwStringOffset = fixed;
  id->dwUsedSize = id->dwNeededSize;
  return 0;
}

LONG ModemLineDriver::GetCallStatus(HCALL call, LINECALLSTATUS* status) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  if (line == nullptr) return LINEERR_INVALCALLHANDLE;
  status->dwNeededSize = sizeof(LINECALLSTATUS);
  status->dwUsedSize = sizeof(LINECALLSTATUS);
  status->dwCallState = line->hayes->State();
  status->dwCallStateMode = line->hayes->StateDetail();
  status->dwCallPrivilege = 0x4;  // owner
  return 0;
}

LONG ModemLineDriver::Drop(HCALL call) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  if (line == nullptr) return LINEERR_INVALCALLHANDLE;
  line->hayes->Drop();
  const DWORD request = NextRequest();
  line->sink(call, LINE_REPLY, request, 0, 0);
  return static_cast<LONG>(request);
}

LONG ModemLineDriver::DeallocateCall(HCALL call) {
  std::unique_ptr<HayesCall> ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* line = LineOfCall(call);
    if (line == nullptr) return LINEERR_INVALCALLHANDLE;
    ending = std::move(line->hayes);
    line->call = 0;
  }
  ending.reset();  // joins the call's thread
  return 0;
}

LONG ModemLineDriver::Close(HLINE line) {
  std::unique_ptr<Line> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = lines_.find(line);
    if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
    closing = std::move(it->second);
    lines_.erase(it);
  }
  closing->hayes.reset();  // before the port it uses
  closing.reset();
  return 0;
}

LONG ModemLineDriver::Shutdown() { return 0; }

std::shared_ptr<ILineDriver> MakeModemLineDriver() {
  return std::make_shared<ModemLineDriver>();
}

}  // namespace zentrel
