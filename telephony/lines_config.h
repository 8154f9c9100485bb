// The list of line devices, read from a small text file: one device per
// line in device-id order, `modem PORT [INIT]` (INIT defaults to ATZ), `#`
// starts a comment. The parser is pure; the loader finds the file
// (ZENTREL_LINES, else $XDG_CONFIG_HOME/zentrel/lines.conf, else
// ~/.config/zentrel/lines.conf). A missing file means no devices.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

struct ModemConfig {
  std::string port;
  std::string init;
  std::string LineName() const { return "Modem on " + port; }
};

struct LinesConfig {
  std::vector<ModemConfig> modems;
  // Empty when the file is sound; else "line N: what is wrong", and then
  // `modems` is empty: a half-understood file configures nothing.
  std::string error;
};

LinesConfig ParseLinesConfig(std::string_view text);

// The path the configuration is read from; empty when no HOME is known.
std::string LinesConfigPath();

// Reads and parses the file at `path`; a missing file gives no devices.
LinesConfig LoadLinesConfig(const std::string& path);

}  // namespace zentrel
