// The message box holds line breaks as CR LF; a file or argument has LF.
#include "delivery/send_options.h"

namespace zentrel {

std::string AsMessageBoxText(const std::string& text) {
  std::string t = text;
  if (!t.empty() && t.back() == '\n') t.pop_back();
  if (!t.empty() && t.back() == '\r') t.pop_back();
  std::string out;
  out.reserve(t.size() + 8);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\n' && (i == 0 || t[i - 1] != '\r')) out += '\r';
    out += t[i];
  }
  return out;
}

}  // namespace zentrel
