// How a serial line is framed: speed, data bits, parity, stop bits and flow
// control. A modem line keeps 300 bit/s 7E1 unless its configuration asks for
// more; a direct line to an encoder has its own. The tty port applies it, and
// the configuration parser reads "8N1"-style frame words into it.
#pragma once

#include <termios.h>

#include <string>
#include <string_view>

namespace zentrel {

struct LineFormat {
  int speed = 300;
  int data_bits = 7;
  char parity = 'E';  // 'N', 'E' or 'O'
  int stop_bits = 1;
  enum class Flow { kNone, kRtsCts, kXonXoff } flow = Flow::kNone;

  // "300 7E1", "1200 8N1 rtscts": for traces and messages.
  std::string Text() const;
  bool operator==(const LineFormat&) const = default;
};

// Reads a frame word such as "8N1" or "7e1" into data bits, parity and stop
// bits; false (and `format` untouched) when it is not one.
bool ParseFrame(std::string_view word, LineFormat* format);

// The speeds a line may ask for, each with the tty driver's B constant; the
// one table of them. False for any other speed (never a fallback).
bool SpeedConstant(int speed, speed_t* constant);
bool IsSupportedSpeed(int speed);

}  // namespace zentrel
