// Fuzz target for the gateway's socket side: the bytes go through the line
// buffer (with a small bound, so long lines are exercised) and each line
// through the request parser, as a client's bytes would.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gateway/line_buffer.h"
#include "gateway/request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zentrel::gateway::LineBuffer lines(4096);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Cut where a byte 0x01 stands, so partial reads are covered too.
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i == bytes.size() || bytes[i] == '\x01') {
      lines.Append(bytes.substr(start, i - start));
      start = i + 1;
      while (auto line = lines.Next()) (void)zentrel::gateway::ParseRequest(*line);
    }
  }
  return 0;
}
