// A line driver that offers exactly one line of the configuration: the
// gateway's worker is told which line its call is for, and no other line
// may carry it, even when that one is unusable. It wraps the configured
// driver and shows it as device 0; every handle passes through unchanged.
#pragma once

#include <memory>

#include "telephony/line_driver.h"

namespace zentrel {

class OneLineDriver : public ILineDriver {
 public:
  // `index`: the 0-based line of the configuration `inner` reads.
  OneLineDriver(std::shared_ptr<ILineDriver> inner, DWORD index);

  LONG Initialize(DWORD* num_devs) override;
  LONG NegotiateAPIVersion(DWORD device, DWORD low, DWORD high, DWORD* version) override;
  LONG GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) override;
  LONG GetAddressCaps(DWORD device, DWORD address, DWORD version, LINEADDRESSCAPS* caps) override;
  LONG Open(DWORD device, DWORD version, HLINE* line, LineEventSink sink) override;
  LONG MakeCall(HLINE line, HCALL* call, const char* destination,
                const LINECALLPARAMS* params) override {
    return inner_->MakeCall(line, call, destination, params);
  }
  LONG GetID(HCALL call, const char* device_class, VARSTRING* id, CommHandover* with) override {
    return inner_->GetID(call, device_class, id, with);
  }
  LONG GetCallStatus(HCALL call, LINECALLSTATUS* status) override {
    return inner_->GetCallStatus(call, status);
  }
  std::optional<LineProblem> CallFailure(HCALL call) override { return inner_->CallFailure(call); }
  LONG Drop(HCALL call) override { return inner_->Drop(call); }
  LONG DeallocateCall(HCALL call) override { return inner_->DeallocateCall(call); }
  LONG Close(HLINE line) override { return inner_->Close(line); }
  LONG Shutdown() override { return inner_->Shutdown(); }

 private:
  // The inner device for `device`, or false when it is not the one line.
  bool Inner(DWORD device, DWORD* inner) const;

  std::shared_ptr<ILineDriver> inner_;
  const DWORD index_;
};

}  // namespace zentrel
