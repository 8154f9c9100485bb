// The word reader of lines.conf and the readers its kinds share; see
// line_words.h. Split by hand (no regex), one character at a time.
#include "telephony/line_words.h"

namespace zentrel {
namespace {

constexpr std::string_view kBlanks = " \t\r";

bool IsBlank(char c) { return kBlanks.find(c) != std::string_view::npos; }

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
  std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string LineWords::Next() {
  rest = TrimBlanks(rest);
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
      if (next != '"' && next != '\\') error = "inside quotes only \\\" and \\\\ are escapes";
      word += next;
      ++i;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) error = "a control character in a word";
    word += c;
  }
  rest = rest.substr(i);
  return word;
}

std::string QuotedWord(std::string_view word) { return "\"" + std::string(word) + "\""; }

bool HasControl(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

std::string ReadSpeed(std::string_view word, LineFormat* format) {
  int speed = 0;
  for (char c : word) {
    if (c < '0' || c > '9' || speed > 1000000) return "bad speed " + QuotedWord(word);
    speed = speed * 10 + (c - '0');
  }
  if (!IsSupportedSpeed(speed)) return "unsupported speed " + QuotedWord(word);
  format->speed = speed;
  return {};
}

std::string ReadFrame(std::string_view word, LineFormat* format) {
  return ParseFrame(word, format) ? std::string()
                                  : "bad format " + QuotedWord(word) + " (like 8N1)";
}

std::string ReadAddress(std::string_view word, std::string* host, std::string* service) {
  const std::size_t colon = word.rfind(':');
  if (colon == std::string_view::npos || colon == 0)
    return "address " + QuotedWord(word) + " is not HOST:PORT";
  std::string_view name = word.substr(0, colon);
  std::string_view port = word.substr(colon + 1);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  long number = 0;
  for (char c : port) {
    if (c < '0' || c > '9' || number > 65535) return "bad port number in " + QuotedWord(word);
    number = number * 10 + (c - '0');
  }
  if (port.empty() || number < 1 || number > 65535) return "bad port number in " + QuotedWord(word);
  *host = name;
  *service = port;
  return {};
}

std::string NothingLeft(const LineWords& words) {
  return words.Left().empty() ? std::string() : "unexpected " + QuotedWord(words.Left());
}

}  // namespace zentrel
