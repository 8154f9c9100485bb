// The checks of page_check.h. A control character is named by its token
// ("<ETX>") or its code ("<0x09>"), with its place counted in characters,
// so that the user can find it. Characters are counted as UTF-8: every
// byte that does not continue a character starts one.
#include "paging/page_check.h"

#include <cctype>
#include <cstdio>

#include "paging/message_block.h"
#include "paging/readable_text.h"

namespace zentrel {
namespace {

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += ContinuesCharacter(c) ? 0 : 1;
  return count;
}

}  // namespace

std::string FirstControlCharacter(std::string_view text, bool line_breaks_allowed) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!IsControl(byte) || (line_breaks_allowed && IsLineBreak(text[i]))) continue;
    std::string name(ControlToken(byte));
    if (name.empty()) {
      char code[8];
      std::snprintf(code, sizeof code, "<0x%02X>", byte);
      name = code;
    }
    return "the control character " + name + " (character " +
           std::to_string(Characters(text.substr(0, i)) + 1) + ")";
  }
  return {};
}

namespace {

// A PIN's problem once it is there: a control character, or too long.
std::string PinFieldProblem(std::string_view pin) {
  if (const std::string found = FirstControlCharacter(pin); !found.empty()) {
    return "the PIN holds " + found;
  }
  if (pin.size() > kMaxPinChars) {
    return "the PIN \"" + std::string(pin) + "\" has more than " + std::to_string(kMaxPinChars) +
           " characters; the page would reach PIN \"" + std::string(pin.substr(0, kMaxPinChars)) +
           "\" instead";
  }
  return {};
}

// "the PIN is empty" said for a send: "The PIN is empty; nothing was sent."
std::string Said(std::string clause, const char* tail) {
  if (clause.empty()) return clause;
  clause[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(clause[0])));
  return clause + tail;
}

}  // namespace

std::string PinProblem(std::string_view pin) {
  return pin.empty() ? "the PIN is empty" : PinFieldProblem(pin);
}

std::string NumberProblem(std::string_view phone) {
  if (phone.empty()) return "the phone number is empty";
  if (const std::string found = FirstControlCharacter(phone); !found.empty()) {
    return "the phone number holds " + found;
  }
  if (phone.size() > kMaxPhoneChars) {
    return "the phone number \"" + std::string(phone) + "\" has " + std::to_string(phone.size()) +
           " characters, more than the " + std::to_string(kMaxPhoneChars) + " a line can dial";
  }
  return {};
}

std::string BlockRefusal(std::string_view pin, std::string_view message) {
  if (std::string refusal = Said(PinFieldProblem(pin), "; nothing was sent."); !refusal.empty()) {
    return refusal;
  }
  if (const std::string found = FirstControlCharacter(message, true); !found.empty()) {
    return "The message holds " + found +
           "; only line breaks may stand in a page. Nothing was sent.";
  }
  return {};
}

std::string PinRefusal(std::string_view pin) { return Said(PinProblem(pin), "; nothing was sent."); }

std::string NumberRefusal(std::string_view phone) {
  return Said(NumberProblem(phone), "; nothing was dialled.");
}

std::string RecipientRefusal(std::string_view pin, std::string_view phone) {
  std::string refusal = PinRefusal(pin);
  return refusal.empty() ? NumberRefusal(phone) : refusal;
}

std::string MessageCutNotice(std::string_view message) {
  const std::string_view sent = MessageField(message);
  if (sent.size() == message.size()) return {};
  return "The message is longer than a page holds (" + std::to_string(kMaxMessageChars) +
         " bytes): only its first " + std::to_string(Characters(sent)) + " of " +
         std::to_string(Characters(message)) + " characters are sent.";
}

}  // namespace zentrel
