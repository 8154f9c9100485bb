// What is wrong with a PIN or a paging terminal number, as a kind and a place
// rather than a sentence, so that every caller applies the same rules and
// says them in its own words: the send path in a status or on stderr, the
// recipient dialog naming its box. A PIN holds printable ASCII without a
// space; a number holds printable ASCII; neither may be empty or too long.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentrel {

// The longest number a line dials; a longer one is refused.
inline constexpr std::size_t kMaxPhoneChars = 31;

struct FieldFault {
  enum Kind {
    kNone,
    kEmpty,
    kControl,   // a control character (C0, DEL or C1): its token, "<CR>", or code, "<0x9B>"
    kSpace,     // a space, in a PIN
    kNotAscii,  // `character` is the character itself, or "<0xE9>" for a byte that is not UTF-8
    kTooLong,   // more than kMaxPinChars, or kMaxPhoneChars
  } kind = kNone;
  std::size_t at = 0;     // the character's place, counted in characters from 1
  std::string character;  // for kControl and kNotAscii
};

// Whether a kNotAscii `character` is a code ("<0xE9>") rather than the
// character itself.
inline bool IsByteCode(const FieldFault& f) { return f.character.starts_with('<'); }

// The first fault of a PIN: empty; the first control character, space or
// character that is not ASCII; then more than kMaxPinChars.
FieldFault PinFault(std::string_view pin);

// The first fault of a number: empty; the first control character or
// character that is not ASCII; then more than kMaxPhoneChars.
FieldFault NumberFault(std::string_view phone);

// The name of a control byte: its token ("<ETX>") or its code ("<0x09>").
std::string ControlCharacterName(unsigned char byte);

// Characters in `text`, counted as UTF-8: every byte that does not continue
// a character starts one.
std::size_t CharacterCount(std::string_view text);

}  // namespace zentrel
