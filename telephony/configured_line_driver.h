// The real line driver: one line device per line of the configuration file,
// in its order. It keeps the device list, the handles, the records and the
// hand-over of the data connection ("comm/datamodem" is a dup() of the
// call's descriptor, which the caller then owns); opening a line and placing
// and dropping its calls belong to the line's kind (line_kind.h). A line that
// cannot be used now fails the version negotiation, so the first usable line
// is chosen; why each was skipped is noted for the user (line_problems.h).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "telephony/line_driver.h"
#include "telephony/line_kind.h"
#include "telephony/lines_config.h"

namespace zentrel {

// The configured devices' file; evaluated at every registration.
using ConfigPathFn = std::function<std::string()>;

class ConfiguredLineDriver : public ILineDriver {
 public:
  explicit ConfiguredLineDriver(ConfigPathFn config_path = LinesConfigPath,
                                LineSettings settings = {});
  ~ConfiguredLineDriver() override;

  LONG Initialize(DWORD* num_devs) override;
  LONG NegotiateAPIVersion(DWORD device, DWORD low, DWORD high, DWORD* version) override;
  LONG GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) override;
  LONG GetAddressCaps(DWORD device, DWORD address, DWORD version, LINEADDRESSCAPS* caps) override;
  LONG Open(DWORD device, DWORD version, HLINE* line, LineEventSink sink) override;
  LONG MakeCall(HLINE line, HCALL* call, const char* destination,
                const LINECALLPARAMS* params) override;
  LONG GetID(HCALL call, const char* device_class, VARSTRING* id, CommHandover* with) override;
  LONG GetCallStatus(HCALL call, LINECALLSTATUS* status) override;
  std::optional<LineProblem> CallFailure(HCALL call) override;
  LONG Drop(HCALL call) override;
  LONG DeallocateCall(HCALL call) override;
  LONG Close(HLINE line) override;
  LONG Shutdown() override;

 private:
  struct Line {
    DWORD device = 0;
    LineConfig config;
    std::unique_ptr<IOpenLine> open;
    LineEventSink sink;
    HCALL call = 0;
    std::unique_ptr<ILineCall> active;
  };
  bool FindLine(DWORD device, LineConfig* config);
  Line* LineOfCall(HCALL call);  // with mutex_ held
  DWORD NextRequest();

  ConfigPathFn config_path_;
  LineSettings settings_;
  std::mutex mutex_;
  std::vector<LineConfig> configs_;
  // What each device's last check brought up, until its line is opened.
  std::map<DWORD, std::shared_ptr<LineReady>> ready_;
  std::map<HLINE, std::unique_ptr<Line>> lines_;
  DWORD next_handle_ = 1;
  DWORD next_request_ = 1;
};

// The driver the line service uses unless another is installed.
std::shared_ptr<ILineDriver> MakeConfiguredLineDriver();

}  // namespace zentrel
