// Parsing the device list. Lines are split by hand (no regex): comment cut,
// blanks trimmed, first word the kind, then the kind's own words. The first
// bad line ends the parse.
#include "telephony/lines_config.h"

#include <cstdlib>

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

std::string Quoted(std::string_view word) {
  return "\"" + std::string(word) + "\"";
}

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

// `--speed=N` and `--format=7E1` before the init string.
std::string ParseModem(std::string_view rest, LineConfig& line) {
  line.port = NextWord(rest);
  if (line.port.empty()) return "modem without a port";
  rest = Trim(rest);
  while (rest.substr(0, 2) == "--") {
    std::string_view option = NextWord(rest);
    std::string error;
    if (option.substr(0, 8) == "--speed=") error = ReadSpeed(option.substr(8), &line.format);
    else if (option.substr(0, 9) == "--format=") error = ReadFrame(option.substr(9), &line.format);
    else error = "unknown modem option " + Quoted(option) + " (--speed=N, --format=7E1)";
    if (!error.empty()) return error;
    rest = Trim(rest);
  }
  line.init = rest.empty() ? "ATZ" : std::string(rest);
  return {};
}

std::string ParseSerial(std::string_view rest, LineConfig& line) {
  line.port = NextWord(rest);
  std::string_view speed = NextWord(rest);
  std::string_view frame = NextWord(rest);
  if (line.port.empty() || frame.empty())
    return "serial needs PORT SPEED FORMAT, like: serial /dev/ttyS0 9600 8N1";
  std::string error = ReadSpeed(speed, &line.format);
  if (error.empty()) error = ReadFrame(frame, &line.format);
  if (!error.empty()) return error;
  std::string_view flow = NextWord(rest);
  if (flow == "rtscts") line.format.flow = LineFormat::Flow::kRtsCts;
  else if (flow == "xonxoff") line.format.flow = LineFormat::Flow::kXonXoff;
  else if (!flow.empty()) return "unknown flow control " + Quoted(flow) + " (rtscts or xonxoff)";
  if (!Trim(rest).empty()) return "unexpected " + Quoted(Trim(rest));
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

std::string ParseTcp(std::string_view rest, LineConfig& line) {
  std::string_view address = NextWord(rest);
  if (address.empty()) return std::string(KindWord(line.kind)) + " without HOST:PORT";
  std::string error = ReadAddress(address, line);
  if (!error.empty() || line.kind == LineConfig::Kind::kTcp) {
    if (error.empty() && !Trim(rest).empty()) return "unexpected " + Quoted(Trim(rest));
    return error;
  }
  for (std::string_view word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
    if (word.substr(0, 3) == "ca=" && word.size() > 3) line.ca_file = word.substr(3);
    else if (word.substr(0, 5) == "name=" && word.size() > 5) line.server_name = word.substr(5);
    else if (word == "insecure") line.insecure = true;
    else return "unknown tls option " + Quoted(word) + " (ca=FILE, name=SERVER, insecure)";
  }
  return {};
}

using KindParser = std::string (*)(std::string_view, LineConfig&);

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
  std::string_view rest = text;
  std::string_view kind = NextWord(rest);
  for (const KindEntry& entry : kKinds) {
    if (entry.word != kind) continue;
    line.kind = entry.kind;
    return entry.parse(rest, line);
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

LinesConfig ParseLinesConfig(std::string_view text) {
  LinesConfig config;
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    LineConfig device;
    device.line_number = number;
    std::string error = ParseDevice(line, device);
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
