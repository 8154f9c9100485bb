// Feeds arbitrary text to the lines.conf parser. Besides the sanitizers it
// checks what must hold for any input: a refusal names its line and leaves
// no lines; lines come in file order; a modem line written back with its
// port and INIT quoted as zentrel-lines writes them reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/lines_config.h"
#include "telephony/tty_lines.h"

namespace {

using namespace zentrel;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckModemRoundTrip(const ModemLineFields& line) {
  const std::string text =
      "modem " + QuoteLinesWord(line.port) + " " + QuoteLinesWord(line.init, true) + "\n";
  const LinesConfig back = ParseLinesConfig(text);
  Check(back.error.empty() && back.lines.size() == 1);
  const auto* modem = back.lines[0].As<ModemLineFields>();
  Check(modem != nullptr && modem->port == line.port && modem->init == line.init);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const LinesConfig config = ParseLinesConfig(text);
  if (!config.error.empty()) {
    Check(config.lines.empty() && config.error.starts_with("line "));
    return 0;
  }
  int previous = 0;
  for (const LineConfig& line : config.lines) {
    Check(line.line_number > previous);
    previous = line.line_number;
    if (const auto* modem = line.As<ModemLineFields>()) CheckModemRoundTrip(*modem);
  }
  return 0;
}
