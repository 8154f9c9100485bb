// Fuzz target for the alert webhook's payload: any bytes through the parser,
// and a group that parses through the template (default, and one naming
// labels, a brace left open and an empty name) and the dedupe key.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gateway/alert_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentrel::gateway;
  auto parsed = ParseAlertGroup(std::string_view(reinterpret_cast<const char*>(data), size));
  if (const auto* group = std::get_if<AlertGroup>(&parsed)) {
    (void)AlertText(*group, kDefaultAlertTemplate);
    (void)AlertText(*group, "{count}{} {instance} {job {title}{message}{more}");
    (void)AlertKey(*group);
  }
  return 0;
}
