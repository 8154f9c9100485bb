// The modem's answers as lines, for the dialler and the command exchange
// alike: read through the port one byte at a time, so that no byte after
// CONNECT's line is taken from the serial link; bit 7 cleared on a 7-bit
// line; a line ended by CR alone counts once no LF has followed within a
// grace; text that comes with the port's hang-up still makes a line.
#pragma once

#include <chrono>
#include <string>

#include "seriallink/tty_port.h"
#include "telephony/hayes_response.h"

namespace zentrel {

class ModemLineReader {
 public:
  enum class Wait { kLine, kTimeout, kWoken, kHangUp };

  ModemLineReader(TtyPort& port, std::chrono::milliseconds line_end_grace)
      : port_(port), line_end_grace_(line_end_grace) {}

  // Waits up to `limit` for the next line, given without its CR LF; a
  // readable `wake_fd` (an eventfd, or -1 for none) ends the wait.
  Wait Next(std::chrono::milliseconds limit, int wake_fd, std::string* line);

 private:
  TtyPort& port_;
  std::chrono::milliseconds line_end_grace_;
  HayesLineSplitter splitter_;
};

}  // namespace zentrel
