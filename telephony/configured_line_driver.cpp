// The configured line driver; see configured_line_driver.h. Calls are
// joined outside the driver's lock, so a call thread reporting an event never
// waits for a caller that is joining it.
#include "telephony/configured_line_driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "seriallink/handover.h"
#include "seriallink/trace.h"
#include "telephony/line_problems.h"
#include "telephony/tty_lines.h"

namespace zentrel {
namespace {

constexpr DWORD kVersionLow = 0x10003;
constexpr DWORD kVersionHigh = 0x10004;
constexpr const char* kDataModemClass = "comm/datamodem";

}  // namespace

ConfiguredLineDriver::ConfiguredLineDriver(ConfigPathFn config_path, LineSettings settings)
    : config_path_(std::move(config_path)), settings_(std::move(settings)) {}

ConfiguredLineDriver::~ConfiguredLineDriver() {
  std::map<HLINE, std::unique_ptr<Line>> lines;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines.swap(lines_);
  }
  for (auto& [handle, line] : lines) line->active.reset();
}

LONG ConfiguredLineDriver::Initialize(DWORD* num_devs) {
  LinesConfig config = LoadLinesConfig(config_path_());
  if (!config.why_none.empty()) {
    OutputDebugStringA("Line devices: " + config.why_none + "\n");
    NoteLineProblem(MakeLineProblem(LineProblemKind::kNoDeviceList, config.why_none));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  configs_ = config.lines;
  ready_.clear();
  if (!config.error.empty()) return LINEERR_INIFILECORRUPT;
  *num_devs = static_cast<DWORD>(configs_.size());
  return 0;
}

bool ConfiguredLineDriver::FindLine(DWORD device, LineConfig* config) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device >= configs_.size()) return false;
  *config = configs_[device];
  return true;
}

LONG ConfiguredLineDriver::NegotiateAPIVersion(DWORD device, DWORD low, DWORD high,
                                               DWORD* version) {
  LineConfig config;
  if (!FindLine(device, &config)) return LINEERR_BADDEVICEID;
  if (low > kVersionHigh || high < kVersionLow) return LINEERR_INCOMPATIBLEAPIVERSION;
  // A line that cannot be used now is passed over for the next one.
  LineCheck check = config.kind->check(config, settings_);
  if (!check.usable) {
    check.problem.line = config.Describe();
    check.problem.skipped = true;
    NoteLineProblem(std::move(check.problem));
    return LINEERR_NODEVICE;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_[device] = std::move(check.ready);
  }
  *version = high < kVersionHigh ? high : kVersionHigh;
  return 0;
}

LONG ConfiguredLineDriver::GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) {
  LineConfig config;
  if (!FindLine(device, &config)) return LINEERR_BADDEVICEID;
  const std::string name = config.LineName();
  const DWORD fixed = sizeof(LINEDEVCAPS);
  const DWORD needed = fixed + static_cast<DWORD>(name.size() + 1);
  caps->dwNeededSize = needed;
  caps->dwUsedSize = fixed;
  if (caps->dwTotalSize >= needed) {
    std::memcpy(reinterpret_cast<char*>(caps) + fixed, name.c_str(), name.size() + 1);
    caps->dwLineNameSize = static_cast<DWORD>(name.size() + 1);
    caps->dwLineNameOffset = fixed;
    caps->dwUsedSize = needed;
  }
  caps->dwPermanentLineID = device;
  caps->dwStringFormat = STRINGFORMAT_ASCII;
  caps->dwAddressModes = LINEADDRESSMODE_ADDRESSID;
  caps->dwNumAddresses = 1;
  caps->dwBearerModes = LINEBEARERMODE_VOICE;
  const auto* tty = config.As<TtyLineFields>();
  caps->dwMaxRate = static_cast<DWORD>(tty ? tty->format.speed : LineFormat{}.speed);
  caps->dwMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
  caps->dwMaxNumActiveCalls = 1;
  if (version >= 0x10004) caps->dwLineFeatures = LINEFEATURE_MAKECALL;
  return 0;
}

LONG ConfiguredLineDriver::GetAddressCaps(DWORD device, DWORD address, DWORD,
                                          LINEADDRESSCAPS* caps) {
  LineConfig config;
  if (!FindLine(device, &config)) return LINEERR_BADDEVICEID;
  if (address != 0) return LINEERR_INVALPOINTER;
  caps->dwNeededSize = sizeof(LINEADDRESSCAPS);
  caps->dwUsedSize = sizeof(LINEADDRESSCAPS);
  caps->dwLineDeviceID = device;
  caps->dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_DIALING | LINECALLSTATE_BUSY |
                       LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
  caps->dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_UNKNOWN |
                            LINEDISCONNECTMODE_NOANSWER | LINEDISCONNECTMODE_UNREACHABLE |
                            LINEDISCONNECTMODE_NODIALTONE;
  caps->dwMaxNumActiveCalls = 1;
  return 0;
}

LONG ConfiguredLineDriver::Open(DWORD device, DWORD, HLINE* line, LineEventSink sink) {
  LineConfig config;
  if (!FindLine(device, &config)) return LINEERR_BADDEVICEID;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [handle, open] : lines_)
    if (open->device == device) return LINEERR_ALLOCATED;
  std::shared_ptr<LineReady> ready;
  if (auto it = ready_.find(device); it != ready_.end()) {
    ready = std::move(it->second);
    ready_.erase(it);
  }
  LineOpenFailure failure;
  auto line_open = config.kind->open(config, settings_, std::move(ready), &failure);
  if (!line_open) {
    failure.problem.line = config.Describe();
    NoteLineProblem(std::move(failure.problem));
    return failure.code;
  }
  auto opened = std::make_unique<Line>();
  opened->device = device;
  opened->config = config;
  opened->open = std::move(line_open);
  opened->sink = std::move(sink);
  *line = next_handle_++;
  lines_[*line] = std::move(opened);
  return 0;
}

DWORD ConfiguredLineDriver::NextRequest() { return next_request_++; }

LONG ConfiguredLineDriver::MakeCall(HLINE line, HCALL* call, const char* destination,
                                    const LINECALLPARAMS*) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = lines_.find(line);
  if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
  Line& open = *it->second;
  if (open.active) return LINEERR_RESOURCEUNAVAIL;
  const HCALL handle = next_handle_;
  LineEventSink sink = open.sink;
  std::string refused;
  auto placed = open.open->MakeCall(
      destination ? destination : "",
      [sink, handle](DWORD state, DWORD detail) { sink(handle, LINE_CALLSTATE, state, detail, 0); },
      &refused);
  if (!placed) {
    LineProblem problem = MakeLineProblem(LineProblemKind::kBadNumber, refused);
    problem.line = open.config.LineName();
    NoteLineProblem(std::move(problem));
    return LINEERR_INVALADDRESS;
  }
  ++next_handle_;
  open.call = handle;
  open.active = std::move(placed);
  *call = handle;
  const DWORD request = NextRequest();
  sink(line, LINE_REPLY, request, 0, 0);
  open.active->Start();
  return static_cast<LONG>(request);
}

ConfiguredLineDriver::Line* ConfiguredLineDriver::LineOfCall(HCALL call) {
  for (auto& [handle, line] : lines_)
    if (call != 0 && line->call == call && line->active) return line.get();
  return nullptr;
}

LONG ConfiguredLineDriver::GetID(HCALL call, const char* device_class, VARSTRING* id,
                                 CommHandover* with) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  if (line == nullptr) return LINEERR_INVALCALLHANDLE;
  if (std::strcmp(device_class, kDataModemClass) != 0) return LINEERR_INVALDEVICECLASS;
  if (line->active->State() != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  const std::string name = line->active->DataName();
  const DWORD fixed = sizeof(VARSTRING);
  const DWORD string_size = static_cast<DWORD>(sizeof(std::int32_t) + name.size() + 1);
  id->dwNeededSize = fixed + string_size;
  id->dwUsedSize = fixed;
  if (id->dwTotalSize < id->dwNeededSize) return 0;
  const std::int32_t handle = ::fcntl(line->active->DataFd(), F_DUPFD_CLOEXEC, 0);
  if (handle < 0) return LINEERR_RESOURCEUNAVAIL;
  if (with != nullptr) *with = line->active->Handover();
  char* text = reinterpret_cast<char*>(id) + fixed;
  std::memcpy(text, &handle, sizeof handle);
  std::memcpy(text + sizeof handle, name.c_str(), name.size() + 1);
  id->dwStringFormat = STRINGFORMAT_BINARY;
  id->dwStringSize = string_size;
  id->dwStringOffset = fixed;
  id->dwUsedSize = id->dwNeededSize;
  return 0;
}

LONG ConfiguredLineDriver::GetCallStatus(HCALL call, LINECALLSTATUS* status) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  if (line == nullptr) return LINEERR_INVALCALLHANDLE;
  status->dwNeededSize = sizeof(LINECALLSTATUS);
  status->dwUsedSize = sizeof(LINECALLSTATUS);
  status->dwCallState = line->active->State();
  status->dwCallStateMode = line->active->StateDetail();
  status->dwCallPrivilege = 0x4;  // owner
  return 0;
}

std::optional<LineProblem> ConfiguredLineDriver::CallFailure(HCALL call) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  return line == nullptr ? std::nullopt : line->active->Failure();
}

LONG ConfiguredLineDriver::Drop(HCALL call) {
  std::lock_guard<std::mutex> lock(mutex_);
  Line* line = LineOfCall(call);
  if (line == nullptr) return LINEERR_INVALCALLHANDLE;
  line->active->Drop();
  const DWORD request = NextRequest();
  line->sink(call, LINE_REPLY, request, 0, 0);
  return static_cast<LONG>(request);
}

LONG ConfiguredLineDriver::DeallocateCall(HCALL call) {
  std::unique_ptr<ILineCall> ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* line = LineOfCall(call);
    if (line == nullptr) return LINEERR_INVALCALLHANDLE;
    ending = std::move(line->active);
    line->call = 0;
  }
  ending.reset();  // joins the call's thread
  return 0;
}

LONG ConfiguredLineDriver::Close(HLINE line) {
  std::unique_ptr<Line> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = lines_.find(line);
    if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
    closing = std::move(it->second);
    lines_.erase(it);
  }
  closing->active.reset();  // before the line it uses
  closing.reset();
  return 0;
}

LONG ConfiguredLineDriver::Shutdown() {
  std::map<DWORD, std::shared_ptr<LineReady>> ready;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready.swap(ready_);
  }
  return 0;
}

std::shared_ptr<ILineDriver> MakeConfiguredLineDriver() {
  return std::make_shared<ConfiguredLineDriver>();
}

}  // namespace zentrel
