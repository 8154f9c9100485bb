// The field checks of field_fault.h: one walk over the text, stopping at the
// first character the field may not hold (a UTF-8 sequence is shown whole);
// the length is looked at only when every character may stand, so a PIN too
// long is never named by a cut that would hide a bad character in it.
#include "paging/field_fault.h"

#include <cstdio>

#include "paging/message_block.h"
#include "paging/readable_text.h"

namespace zentrel {
namespace {

bool ContinuesCharacter(unsigned char c) { return (c & 0xC0) == 0x80; }

std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

std::string ByteCode(unsigned char byte) {
  char code[8];
  std::snprintf(code, sizeof code, "<0x%02X>", byte);
  return code;
}

// The character that begins at `i` as it is shown to the user: itself when
// it is whole UTF-8, else the code of its first byte.
std::string Shown(std::string_view text, std::size_t i) {
  const std::size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
  bool whole = n > 1 && i + n <= text.size();
  for (std::size_t k = 1; whole && k < n; ++k) {
    whole = ContinuesCharacter(static_cast<unsigned char>(text[i + k]));
  }
  return whole ? std::string(text.substr(i, n)) : ByteCode(static_cast<unsigned char>(text[i]));
}

// The first character of `text` that is a control, not ASCII, or (when
// `space_refused`) a space. Every character before it is one byte, so its
// place is its byte's.
FieldFault FirstUnfit(std::string_view text, bool space_refused) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F)
      return {FieldFault::kControl, i + 1, ControlCharacterName(byte)};
    if (byte == ' ' && space_refused) return {FieldFault::kSpace, i + 1, " "};
    // A C1 control (U+0080..U+009F) would act on a terminal it is shown on.
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == 0xC2 && next >= 0x80 && next < 0xA0) {
      return {FieldFault::kControl, i + 1, ByteCode(next)};
    }
    if (byte >= 0x80) return {FieldFault::kNotAscii, i + 1, Shown(text, i)};
  }
  return {};
}

FieldFault Check(std::string_view text, bool space_refused, std::size_t longest) {
  if (text.empty()) return {FieldFault::kEmpty, 0, {}};
  if (FieldFault fault = FirstUnfit(text, space_refused); fault.kind != FieldFault::kNone) {
    return fault;
  }
  if (text.size() > longest) return {FieldFault::kTooLong, 0, {}};
  return {};
}

}  // namespace

FieldFault PinFault(std::string_view pin) { return Check(pin, true, kMaxPinChars); }

FieldFault NumberFault(std::string_view phone) { return Check(phone, false, kMaxPhoneChars); }

std::string ControlCharacterName(unsigned char byte) {
  const std::string_view token = ControlToken(byte);
  return token.empty() ? ByteCode(byte) : std::string(token);
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += ContinuesCharacter(static_cast<unsigned char>(c)) ? 0 : 1;
  return count;
}

}  // namespace zentrel
