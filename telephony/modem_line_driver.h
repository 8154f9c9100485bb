// The real line driver: one line device per modem of the configuration
// file, a tty held open from lineOpen to lineClose, one HayesCall (one
// thread) per call, joined when the call is deallocated or its line closed.
// The call's data connection ("comm/datamodem") is a dup() of the port's
// descriptor, which the caller then owns.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "telephony/hayes_call.h"
#include "telephony/line_driver.h"
#include "telephony/lines_config.h"

namespace zentrel {

// The configured devices' file; evaluated at every registration.
using ConfigPathFn = std::function<std::string()>;

class ModemLineDriver : public ILineDriver {
 public:
  explicit ModemLineDriver(ConfigPathFn config_path = LinesConfigPath,
                           HayesTimings timings = {});
  ~ModemLineDriver() override;

  LONG Initialize(DWORD* num_devs) override;
  LONG NegotiateAPIVersion(DWORD device, DWORD low, DWORD high,
                           DWORD* version) override;
  LONG GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) override;
  LONG GetAddressCaps(DWORD device, DWORD address, DWORD version,
                      LINEADDRESSCAPS* caps) override;
  LONG Open(DWORD device, DWORD version, HLINE* line,
            LineEventSink sink) override;
  LONG MakeCall(HLINE line, HCALL* call, const char* destination,
                const LINECALLPARAMS* params) override;
  LONG GetID(HCALL call, const char* device_class, VARSTRING* id) override;
  LONG GetCallStatus(HCALL call, LINECALLSTATUS* status) override;
  LONG Drop(HCALL call) override;
  LONG DeallocateCall(HCALL call) override;
  LONG Close(HLINE line) override;
  LONG Shutdown() override;

 private:
  struct Line {
    DWORD device = 0;
    ModemConfig modem;
    std::unique_ptr<HayesPort> port;
    LineEventSink sink;
    HCALL call = 0;
    std::unique_ptr<HayesCall> hayes;
  };
  bool FindModem(DWORD device, ModemConfig* modem);
  Line* LineOfCall(HCALL call);  // with mutex_ held
  DWORD NextRequest();

  ConfigPathFn config_path_;
  HayesTimings timings_;
  std::mutex mutex_;
  std::vector<ModemConfig> modems_;
  std::map<HLINE, std::unique_ptr<Line>> lines_;
  DWORD next_handle_ = 1;
  DWORD next_request_ = 1;
};

// The driver the line service uses unless another is installed.
std::shared_ptr<ILineDriver> MakeModemLineDriver();

}  // namespace zentrel
