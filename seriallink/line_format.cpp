// The line format's text form, the frame-word parser and the one table of
// speeds with their tty constants.
#include "seriallink/line_format.h"

namespace zentrel {

std::string LineFormat::Text() const {
  std::string text =
      std::to_string(speed) + " " + std::to_string(data_bits) + parity + std::to_string(stop_bits);
  if (flow == Flow::kRtsCts) text += " rtscts";
  if (flow == Flow::kXonXoff) text += " xonxoff";
  return text;
}

bool ParseFrame(std::string_view word, LineFormat* format) {
  if (word.size() != 3) return false;
  const char bits = word[0];
  const char parity = static_cast<char>(word[1] & ~0x20);  // upper case
  const char stop = word[2];
  if (bits < '5' || bits > '8') return false;
  if (parity != 'N' && parity != 'E' && parity != 'O') return false;
  if (stop != '1' && stop != '2') return false;
  format->data_bits = bits - '0';
  format->parity = parity;
  format->stop_bits = stop - '0';
  return true;
}

bool SpeedConstant(int speed, speed_t* constant) {
  struct Speed {
    int bits_per_second;
    speed_t constant;
  };
  static constexpr Speed kSpeeds[] = {
      {300, B300},     {600, B600},       {1200, B1200},     {2400, B2400},
      {4800, B4800},   {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
  };
  for (const Speed& s : kSpeeds) {
    if (s.bits_per_second != speed) continue;
    *constant = s.constant;
    return true;
  }
  return false;
}

bool IsSupportedSpeed(int speed) {
  speed_t unused;
  return SpeedConstant(speed, &unused);
}

}  // namespace zentrel
