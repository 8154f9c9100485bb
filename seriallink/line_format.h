// The character format of a serial line: speed, data bits, parity, stop bits
// and flow control. The defaults are the modem line's: 300 bit/s, 7 data
// bits, even parity, 1 stop bit, no flow control. A direct line to an
// on-site encoder brings its own (9600 8N1 is common).
#pragma once

namespace zentrel {

struct LineFormat {
  enum class Flow { kNone, kRtsCts, kXonXoff };
  int speed = 300;
  int data_bits = 7;
  char parity = 'E';  // 'N', 'E' or 'O'
  int stop_bits = 1;
  Flow flow = Flow::kNone;
};

}  // namespace zentrel
