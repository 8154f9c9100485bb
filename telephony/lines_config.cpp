// Parsing the device list. Lines are split by hand (no regex): a comment cut
// where a `#` stands outside quotes, blanks trimmed, then words: a word runs
// to the next blank outside quotes, and "..." quotes blanks, `#` and, with a
// backslash, `"` and `\`. The first word is the kind, then the kind's own
// words. The first bad line ends the parse.
#include "telephony/lines_config.h"

#include <cstdlib>

namespace zentrel {
namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool IsBlank(char c) { return kBlanks.find(c) != std::string_view::npos; }

// The line up to its comment; an unclosed quote is an error.
std::string_view CutComment(std::string_view line, std::string* error) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '\\') ++i;
    else if (c == '"') quoted = !quoted;
    else if (c == '#' && !quoted) return line.substr(0, i);
  }
  if (quoted) *error = "a quote is not closed";
  return line;
}

// Takes the next word off `rest`, quotes and escapes undone; "" at the end.
// A bad escape or a control character sets `error`.
std::string NextWord(std::string_view& rest, std::string* error) {
  rest = Trim(rest);
  std::string word;
  bool quoted = false;
  std::size_t i = 0;
  for (; i < rest.size() && (quoted || !IsBlank(rest[i])); ++i) {
    const char c = rest[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted && c == '\\') {
      const char next = i + 1 < rest.size() ? rest[i + 1] : '\0';
      if (next != '"' && next != '\\') *error = "inside quotes only \\\" and \\\\ are escapes";
      word += next;
      ++i;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) *error = "a control character in a word";
    word += c;
  }
  rest = rest.substr(i);
  return word;
}

std::string Quoted(std::string_view word) {
  return "\"" + std::string(word) + "\"";
}

bool HasControl(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// The words of one line after its kind; the first fault in them is kept.
struct Words {
  std::string_view rest;
  std::string error;
  std::string Next() { return NextWord(rest, &error); }
  std::string_view Left() const { return Trim(rest); }
};

// A speed word; an error text or "".
std::string ReadSpeed(std::string_view word, LineFormat* format) {
  int speed = 0;
  for (char c : word) {
    if (c < '0' || c > '9' || speed > 1000000) return "bad speed " + Quoted(word);
    speed = speed * 10 + (c - '0');
  }
  if (!IsSupportedSpeed(speed)) return "unsupported speed " + Quoted(word);
  format->speed = speed;
  return {};
}

std::string ReadFrame(std::string_view word, LineFormat* format) {
  return ParseFrame(word, format) ? std::string()
                                  : "bad format " + Quoted(word) + " (like 8N1)";
}

// The INIT: one quoted word, or the rest of the line as it stands.
std::string ReadInit(Words& words, LineConfig& line) {
  const std::string_view rest = words.Left();
  if (rest.empty()) {
    line.init = "ATZ";
  } else if (rest.front() == '"') {
    line.init = words.Next();
    if (!words.Left().empty()) return "unexpected " + Quoted(words.Left()) + " after the quoted INIT";
  } else if (rest.find('"') != std::string_view::npos) {
    return "a quote inside INIT " + Quoted(rest) + ": quote the whole INIT";
  } else {
    line.init = rest;
  }
  if (HasControl(line.init)) return "a control character in INIT";
  return {};
}

// `--speed=N` and `--format=7E1` before the init string.
std::string ParseModem(Words& words, LineConfig& line) {
  line.port = words.Next();
  if (line.port.empty()) return "modem without a port";
  while (words.Left().substr(0, 2) == "--") {
    const std::string option = words.Next();
    const std::string_view o = option;
    std::string error;
    if (o.substr(0, 8) == "--speed=") error = ReadSpeed(o.substr(8), &line.format);
    else if (o.substr(0, 9) == "--format=") error = ReadFrame(o.substr(9), &line.format);
    else error = "unknown modem option " + Quoted(o) + " (--speed=N, --format=7E1)";
    if (!error.empty()) return error;
  }
  return ReadInit(words, line);
}

std::string ParseSerial(Words& words, LineConfig& line) {
  line.port = words.Next();
  const std::string speed = words.Next();
  const std::string frame = words.Next();
  if (line.port.empty() || frame.empty())
    return "serial needs PORT SPEED FORMAT, like: serial /dev/ttyS0 9600 8N1";
  std::string error = ReadSpeed(speed, &line.format);
  if (error.empty()) error = ReadFrame(frame, &line.format);
  if (!error.empty()) return error;
  const std::string flow = words.Next();
  if (flow == "rtscts") line.format.flow = LineFormat::Flow::kRtsCts;
  else if (flow == "xonxoff") line.format.flow = LineFormat::Flow::kXonXoff;
  else if (!flow.empty()) return "unknown flow control " + Quoted(flow) + " (rtscts or xonxoff)";
  if (!words.Left().empty()) return "unexpected " + Quoted(words.Left());
  return {};
}

// HOST:PORT, the host possibly an IPv6 address in brackets.
std::string ReadAddress(std::string_view word, LineConfig& line) {
  const std::size_t colon = word.rfind(':');
  if (colon == std::string_view::npos || colon == 0)
    return "address " + Quoted(word) + " is not HOST:PORT";
  std::string_view host = word.substr(0, colon);
  std::string_view service = word.substr(colon + 1);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  long number = 0;
  for (char c : service) {
    if (c < '0' || c > '9' || number > 65535) return "bad port number in " + Quoted(word);
    number = number * 10 + (c - '0');
  }
  if (service.empty() || number < 1 || number > 65535)
    return "bad port number in " + Quoted(word);
  line.host = host;
  line.service = service;
  return {};
}

std::string ParseTcp(Words& words, LineConfig& line) {
  const std::string address = words.Next();
  if (address.empty()) return std::string(KindWord(line.kind)) + " without HOST:PORT";
  std::string error = ReadAddress(address, line);
  if (!error.empty() || line.kind == LineConfig::Kind::kTcp) {
    if (error.empty() && !words.Left().empty()) return "unexpected " + Quoted(words.Left());
    return error;
  }
  for (std::string word = words.Next(); !word.empty(); word = words.Next()) {
    const std::string_view w = word;
    if (w.substr(0, 3) == "ca=" && w.size() > 3) line.ca_file = w.substr(3);
    else if (w.substr(0, 5) == "name=" && w.size() > 5) line.server_name = w.substr(5);
    else if (w == "insecure") line.insecure = true;
    else return "unknown tls option " + Quoted(w) + " (ca=FILE, name=SERVER, insecure)";
  }
  return {};
}

using KindParser = std::string (*)(Words&, LineConfig&);

struct KindEntry {
  std::string_view word;
  LineConfig::Kind kind;
  KindParser parse;
};

constexpr KindEntry kKinds[] = {
    {"modem", LineConfig::Kind::kModem, ParseModem},
    {"serial", LineConfig::Kind::kSerial, ParseSerial},
    {"tcp", LineConfig::Kind::kTcp, ParseTcp},
    {"tls", LineConfig::Kind::kTls, ParseTcp},
};

// One non-empty line without its comment; an error text or "".
std::string ParseDevice(std::string_view text, LineConfig& line) {
  Words words{text, {}};
  const std::string kind = words.Next();
  for (const KindEntry& entry : kKinds) {
    if (entry.word != kind) continue;
    line.kind = entry.kind;
    const std::string error = entry.parse(words, line);
    return words.error.empty() ? error : words.error;
  }
  return "unknown device type " + Quoted(kind) + " (modem, serial, tcp or tls)";
}

}  // namespace

const char* KindWord(LineConfig::Kind kind) {
  switch (kind) {
    case LineConfig::Kind::kModem: return "modem";
    case LineConfig::Kind::kSerial: return "serial";
    case LineConfig::Kind::kTcp: return "tcp";
    case LineConfig::Kind::kTls: return "tls";
  }
  return "?";
}

std::string LineConfig::LineName() const {
  switch (kind) {
    case Kind::kModem: return "Modem on " + port;
    case Kind::kSerial: return "Serial on " + port;
    case Kind::kTcp: return "TAP over TCP to " + host + ":" + service;
    case Kind::kTls: return "TAP over TLS to " + host + ":" + service;
  }
  return port;
}

std::string QuoteLinesWord(std::string_view word, bool rest_of_line) {
  const std::string_view special = rest_of_line ? "#\"" : " \t\r#\"\\";
  const bool plain = !word.empty() && word.find_first_of(special) == std::string_view::npos &&
                     Trim(word) == word && !word.starts_with("--");
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
    line = Trim(CutComment(line, &error));
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
