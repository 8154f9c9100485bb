// Lines end at CR or LF; any other control byte is dropped from a line, and
// an ESC drops the rest of its line.
#include "tap/reply_words.h"

#include "tap/control_bytes.h"

namespace zentrel::tap {
namespace {

void Join(std::string& words, std::string_view part) {
  if (part.empty()) return;
  if (!words.empty()) words += " / ";
  words += part;
}

std::string ControlReplies(std::string_view received) {
  std::string names;
  for (const char c : received) {
    if (c == kAck || c == kNak || c == kRs || c == kEot) Join(names, ControlName(c));
  }
  return names;
}

}  // namespace

std::string ReplyWords(std::string_view received) {
  std::string words, line;
  bool escape = false;  // an ESC sequence ("<ESC>[p") is not words
  for (const char c : received) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == kCr || c == kLf) {
      Join(words, line);
      line.clear();
      escape = false;
    } else if (c == kEsc) {
      escape = true;
    } else if (byte >= 0x20 && byte != 0x7F && !escape) {
      line += c;
    }
  }
  Join(words, line);
  return words.empty() ? ControlReplies(received) : words;
}

void PageAnswer::Feed(std::string_view received) {
  if (answered_) return;
  const std::string words = ReplyWords(received);
  if (!words.empty()) words_ += (words_.empty() ? "" : " / ") + words;
  answered_ = received.find_first_of("\x06\x15\x1e") != std::string_view::npos;
}

}  // namespace zentrel::tap
