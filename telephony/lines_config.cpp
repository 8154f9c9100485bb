// Parsing the device list. Lines are split by hand (no regex): a comment cut
// where a `#` stands outside quotes, blanks trimmed, then words
// (line_words.h). The first word finds the kind in the table of kinds, whose
// parse reads the rest. The first bad line ends the parse.
#include "telephony/lines_config.h"

#include <cstdlib>

#include "telephony/line_kind.h"
#include "telephony/line_words.h"

namespace zentrel {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The line up to its comment; an unclosed quote is an error.
std::string_view CutComment(std::string_view line, std::string* error) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '\\')
      ++i;
    else if (c == '"')
      quoted = !quoted;
    else if (c == '#' && !quoted)
      return line.substr(0, i);
  }
  if (quoted) *error = "a quote is not closed";
  return line;
}

// "modem, serial, tcp or tls": the kinds a line may start with.
std::string KindWords() {
  std::string words;
  const auto kinds = LineKinds();
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (i > 0) words += i + 1 < kinds.size() ? ", " : " or ";
    words += kinds[i]->word;
  }
  return words;
}

// One non-empty line without its comment; an error text or "".
std::string ParseDevice(std::string_view text, LineConfig& line) {
  LineWords words{text, {}};
  const std::string word = words.Next();
  line.kind = FindLineKind(word);
  if (line.kind == nullptr)
    return "unknown device type " + QuotedWord(word) + " (" + KindWords() + ")";
  const std::string error = line.kind->parse(words, &line);
  return words.error.empty() ? error : words.error;
}

}  // namespace

std::string LineConfig::KindWord() const { return std::string(kind->word); }

std::string LineConfig::LineName() const { return kind->name(*this); }

bool LineConfig::Dials() const { return kind->dials; }

std::string LineConfig::Describe() const {
  return "line " + std::to_string(line_number) + " (" + KindWord() + " " + kind->where(*this) + ")";
}

std::string QuoteLinesWord(std::string_view word, bool rest_of_line) {
  const std::string_view special = rest_of_line ? "#\"" : " \t\r#\"\\";
  const bool plain = !word.empty() && word.find_first_of(special) == std::string_view::npos &&
                     TrimBlanks(word) == word && !word.starts_with("--");
  if (plain) return std::string(word);
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

LinesConfig ParseLinesConfig(std::string_view text) {
  LinesConfig config;
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    std::string error;
    line = TrimBlanks(CutComment(line, &error));
    if (line.empty() && error.empty()) continue;
    LineConfig device;
    device.line_number = number;
    if (error.empty()) error = ParseDevice(line, device);
    if (!error.empty()) {
      config.lines.clear();
      config.error = "line " + std::to_string(number) + ": " + error;
      return config;
    }
    config.lines.push_back(std::move(device));
  }
  return config;
}

std::string LinesConfigPath() {
  const char* explicit_path = std::getenv("ZENTREL_LINES");
  if (explicit_path != nullptr && *explicit_path != '\0') return explicit_path;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/zentrel/lines.conf";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/zentrel/lines.conf";
  return {};
}

}  // namespace zentrel
