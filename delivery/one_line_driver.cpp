// OneLineDriver: device 0 is the inner driver's device `index`; any other
// device is unknown. A configuration without that line offers no device.
#include "delivery/one_line_driver.h"

namespace zentrel {

OneLineDriver::OneLineDriver(std::shared_ptr<ILineDriver> inner, DWORD index)
    : inner_(std::move(inner)), index_(index) {}

bool OneLineDriver::Inner(DWORD device, DWORD* inner) const {
  if (device != 0) return false;
  *inner = index_;
  return true;
}

LONG OneLineDriver::Initialize(DWORD* num_devs) {
  DWORD count = 0;
  const LONG result = inner_->Initialize(&count);
  if (result != 0) return result;
  *num_devs = index_ < count ? 1 : 0;
  return 0;
}

LONG OneLineDriver::NegotiateAPIVersion(DWORD device, DWORD low, DWORD high, DWORD* version) {
  DWORD inner = 0;
  if (!Inner(device, &inner)) return LINEERR_BADDEVICEID;
  return inner_->NegotiateAPIVersion(inner, low, high, version);
}

LONG OneLineDriver::GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) {
  DWORD inner = 0;
  if (!Inner(device, &inner)) return LINEERR_BADDEVICEID;
  return inner_->GetDevCaps(inner, version, caps);
}

LONG OneLineDriver::GetAddressCaps(DWORD device, DWORD address, DWORD version,
                                   LINEADDRESSCAPS* caps) {
  DWORD inner = 0;
  if (!Inner(device, &inner)) return LINEERR_BADDEVICEID;
  return inner_->GetAddressCaps(inner, address, version, caps);
}

LONG OneLineDriver::Open(DWORD device, DWORD version, HLINE* line, LineEventSink sink) {
  DWORD inner = 0;
  if (!Inner(device, &inner)) return LINEERR_BADDEVICEID;
  return inner_->Open(inner, version, line, std::move(sink));
}

}  // namespace zentrel
