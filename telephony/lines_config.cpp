// Parsing and finding the device list. Lines are split by hand (no regex):
// comment cut, blanks trimmed, first word the device type, second the port,
// the rest the init string. The first bad line ends the parse.
#include "telephony/lines_config.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zentrel {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  std::size_t end = rest.find_first_of(kBlanks);
  std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return word;
}

// One non-empty line without its comment; an error text or "".
std::string ParseDevice(std::string_view line, LinesConfig& out) {
  std::string_view rest = line;
  std::string_view kind = NextWord(rest);
  if (kind != "modem")
    return "unknown device type \"" + std::string(kind) + "\"";
  std::string_view port = NextWord(rest);
  if (port.empty()) return "modem without a port";
  std::string_view init = Trim(rest);
  out.modems.push_back({std::string(port), init.empty() ? "ATZ"
                                                        : std::string(init)});
  return {};
}

}  // namespace

LinesConfig ParseLinesConfig(std::string_view text) {
  LinesConfig config;
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{}
                                         : text.substr(end + 1);
    ++number;
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::string error = ParseDevice(line, config);
    if (!error.empty()) {
      config.modems.clear();
      config.error = "line " + std::to_string(number) + ": " + error;
      return config;
    }
  }
  return config;
}

std::string LinesConfigPath() {
  const char* explicit_path = std::getenv("ZENTREL_LINES");
  if (explicit_path != nullptr && *explicit_path != '\0') return explicit_path;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0')
    return std::string(xdg) + "/zentrel/lines.conf";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0')
    return std::string(home) + "/.config/zentrel/lines.conf";
  return {};
}

LinesConfig LoadLinesConfig(const std::string& path) {
  std::ifstream file(path);
  if (path.empty() || !file) return {};
  std::ostringstream text;
  text << file.rdbuf();
  return ParseLinesConfig(text.str());
}

}  // namespace zentrel
