// Writes each log line whole with one write, so lines never interleave.
#include "gateway/log.h"

#include <unistd.h>

namespace zentrel::gateway {

void Log(const std::string& text) {
  const std::string line = "zentrel-gateway: " + text + "\n";
  (void)!write(2, line.data(), line.size());
}

}  // namespace zentrel::gateway
