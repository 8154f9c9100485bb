// The line format's text form and the frame-word parser.
#include "seriallink/line_format.h"

#include <array>

namespace zentrel {

std::string LineFormat::Text() const {
  std::string text = std::to_string(speed) + " " + std::to_string(data_bits) +
                     parity + std::to_string(stop_bits);
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

bool IsSupportedSpeed(int speed) {
  constexpr std::array<int, 12> kSpeeds{300,   600,   1200,  2400,
                                        4800,  9600,  19200, 38400,
                                        57600, 115200, 230400, 460800};
  for (int s : kSpeeds)
    if (s == speed) return true;
  return false;
}

}  // namespace zentrel
