// Fuzz target for the gateway's WCTP listener: any bytes as the body of a
// POST /wctp go through the submission reader, as the listener hands them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gateway/wctp_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  (void)zentrel::gateway::ParseWctpSubmission(body);
  return 0;
}
