// The checks of page_check.h. A control character is named by its token
// ("<ETX>") or its code ("<0x09>"), with its place counted in characters,
// so that the user can find it. Characters are counted as UTF-8: every
// byte that does not continue a character starts one.
#include "paging/page_check.h"

#include <cctype>

#include "paging/message_block.h"

namespace zentrel {
namespace {

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string FirstControlCharacter(std::string_view text, bool line_breaks_allowed) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!IsControl(byte) || (line_breaks_allowed && IsLineBreak(text[i]))) continue;
    return "the control character " + ControlCharacterName(byte) + " (character " +
           std::to_string(CharacterCount(text.substr(0, i)) + 1) + ")";
  }
  return {};
}

namespace {

// A character of a field as the clauses name it.
std::string Holds(const FieldFault& f) {
  const std::string place = " (character " + std::to_string(f.at) + ")";
  switch (f.kind) {
    case FieldFault::kControl: return " holds the control character " + f.character + place;
    case FieldFault::kSpace: return " holds a space" + place;
    default:
      return (IsByteCode(f) ? " holds the byte " + f.character : " holds \"" + f.character + "\"") +
             place;
  }
}

// A PIN's problem once it is there: a character it may not hold, or too long.
std::string PinFieldProblem(std::string_view pin) {
  const FieldFault f = PinFault(pin);
  switch (f.kind) {
    case FieldFault::kNone:
    case FieldFault::kEmpty: return {};
    case FieldFault::kTooLong:
      return "the PIN \"" + std::string(pin) + "\" has more than " + std::to_string(kMaxPinChars) +
             " characters; the page would reach PIN \"" + std::string(pin.substr(0, kMaxPinChars)) +
             "\" instead";
    case FieldFault::kNotAscii: return "the PIN" + Holds(f) + ", which the line cannot carry";
    default: return "the PIN" + Holds(f);
  }
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
  const FieldFault f = NumberFault(phone);
  switch (f.kind) {
    case FieldFault::kNone: return {};
    case FieldFault::kEmpty: return "the phone number is empty";
    case FieldFault::kTooLong:
      return "the phone number \"" + std::string(phone) + "\" has " + std::to_string(phone.size()) +
             " characters, more than the " + std::to_string(kMaxPhoneChars) + " a line can dial";
    case FieldFault::kNotAscii: return "the phone number" + Holds(f) + ", which no line can dial";
    default: return "the phone number" + Holds(f);
  }
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

std::string PinRefusal(std::string_view pin) {
  return Said(PinProblem(pin), "; nothing was sent.");
}

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
         " bytes): only its first " + std::to_string(CharacterCount(sent)) + " of " +
         std::to_string(CharacterCount(message)) + " characters are sent.";
}

}  // namespace zentrel
