// The ASCII readings: a table for U+00A0 to U+017F (Latin-1 and Latin
// Extended-A: the accents dropped, ligatures and special letters spelt out,
// signs as words), and the punctuation and signs of general use beyond it.
// UTF-8 is decoded by hand; a byte that starts no valid sequence stands for
// itself as Latin-1, so text from an 8-bit source reads the same way.
#include "paging/line_text.h"

#include <array>
#include <cstdint>
#include <set>
#include <utility>

namespace zentrel {
namespace {

constexpr char32_t kTableFirst = 0xA0;
constexpr std::array<std::string_view, 0x180 - 0xA0> kLatin{{
    " ",   "!",   "c",  "GBP", "?",   "JPY", "|",   "S",   // U+00A0
    "\"",  "(c)", "a",  "<<",  "-",   "",    "(R)", "-",   // U+00A8
    "deg", "+/-", "2",  "3",   "'",   "u",   "P",   ".",   // U+00B0
    ",",   "1",   "o",  ">>",  "1/4", "1/2", "3/4", "?",   // U+00B8
    "A",   "A",   "A",  "A",   "A",   "A",   "AE",  "C",   // U+00C0
    "E",   "E",   "E",  "E",   "I",   "I",   "I",   "I",   // U+00C8
    "D",   "N",   "O",  "O",   "O",   "O",   "O",   "x",   // U+00D0
    "O",   "U",   "U",  "U",   "U",   "Y",   "Th",  "ss",  // U+00D8
    "a",   "a",   "a",  "a",   "a",   "a",   "ae",  "c",   // U+00E0
    "e",   "e",   "e",  "e",   "i",   "i",   "i",   "i",   // U+00E8
    "d",   "n",   "o",  "o",   "o",   "o",   "o",   "/",   // U+00F0
    "o",   "u",   "u",  "u",   "u",   "y",   "th",  "y",   // U+00F8
    "A",   "a",   "A",  "a",   "A",   "a",   "C",   "c",   // U+0100
    "C",   "c",   "C",  "c",   "C",   "c",   "D",   "d",   // U+0108
    "D",   "d",   "E",  "e",   "E",   "e",   "E",   "e",   // U+0110
    "E",   "e",   "E",  "e",   "G",   "g",   "G",   "g",   // U+0118
    "G",   "g",   "G",  "g",   "H",   "h",   "H",   "h",   // U+0120
    "I",   "i",   "I",  "i",   "I",   "i",   "I",   "i",   // U+0128
    "I",   "i",   "IJ", "ij",  "J",   "j",   "K",   "k",   // U+0130
    "k",   "L",   "l",  "L",   "l",   "L",   "l",   "L",   // U+0138
    "l",   "L",   "l",  "N",   "n",   "N",   "n",   "N",   // U+0140
    "n",   "'n",  "N",  "n",   "O",   "o",   "O",   "o",   // U+0148
    "O",   "o",   "OE", "oe",  "R",   "r",   "R",   "r",   // U+0150
    "R",   "r",   "S",  "s",   "S",   "s",   "S",   "s",   // U+0158
    "S",   "s",   "T",  "t",   "T",   "t",   "T",   "t",   // U+0160
    "U",   "u",   "U",  "u",   "U",   "u",   "U",   "u",   // U+0168
    "U",   "u",   "U",  "u",   "W",   "w",   "Y",   "y",   // U+0170
    "Y",   "Z",   "z",  "Z",   "z",   "Z",   "z",   "s",   // U+0178
}};

constexpr std::pair<char32_t, std::string_view> kSigns[] = {
    {0x2002, " "},  {0x2003, " "},   {0x2009, " "},   {0x200A, " "}, {0x200B, ""},   {0x200C, ""},
    {0x200D, ""},   {0x2010, "-"},   {0x2011, "-"},   {0x2012, "-"}, {0x2013, "-"},  {0x2014, "-"},
    {0x2018, "'"},  {0x2019, "'"},   {0x201A, "'"},   {0x201B, "'"}, {0x201C, "\""}, {0x201D, "\""},
    {0x201E, "\""}, {0x2022, "*"},   {0x2026, "..."}, {0x2032, "'"}, {0x2033, "\""}, {0x2039, "<"},
    {0x203A, ">"},  {0x20AC, "EUR"}, {0x2122, "TM"},  {0xFEFF, ""},
};

struct Decoded {
  char32_t code;
  std::size_t length;
};

// One character at the start of `text` (not empty).
Decoded DecodeOne(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead >= 0xF0 && lead < 0xF5 ? 4
                             : lead >= 0xE0              ? 3
                             : lead >= 0xC2              ? 2
                                                         : 1;
  if (lead < 0x80 || length == 1 || text.size() < length) return {lead, 1};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return {lead, 1};
    code = (code << 6) | (next & 0x3F);
  }
  return {code, length};
}

std::string_view Reading(char32_t code) {
  if (code >= kTableFirst && code < kTableFirst + kLatin.size()) return kLatin[code - kTableFirst];
  for (const auto& [sign, reading] : kSigns) {
    if (sign == code) return reading;
  }
  return "?";
}

// Calls `each(original, reading)` for every character of `utf8`; an ASCII
// one is its own reading.
template <class Each>
void ForEachReading(std::string_view utf8, Each each) {
  while (!utf8.empty()) {
    const Decoded one = DecodeOne(utf8);
    const std::string_view original = utf8.substr(0, one.length);
    each(original, one.code < 0x80 ? original : Reading(one.code));
    utf8.remove_prefix(one.length);
  }
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string ToLineAscii(std::string_view utf8) {
  std::string ascii;
  ascii.reserve(utf8.size());
  ForEachReading(utf8, [&](std::string_view, std::string_view reading) { ascii.append(reading); });
  return ascii;
}

std::string PageMessageText(std::string_view utf8) {
  const std::string ascii = ToLineAscii(utf8);
  std::string text;
  text.reserve(ascii.size());
  for (std::size_t i = 0; i < ascii.size(); ++i) {
    if (!IsLineBreak(ascii[i])) {
      text.push_back(ascii[i]);
      continue;
    }
    text.push_back(' ');
    if (ascii[i] == '\r' && i + 1 < ascii.size() && ascii[i + 1] == '\n') ++i;
  }
  return text;
}

std::string LineAsciiNotice(std::string_view utf8) {
  std::string changes;
  std::set<std::string_view> named;  // each character once
  ForEachReading(utf8, [&](std::string_view original, std::string_view reading) {
    if (original == reading || !named.insert(original).second) return;
    changes += changes.empty() ? "" : ", ";
    changes += std::string(original) + (changes.empty() ? " goes as " : " as ");
    changes += reading.empty() ? "nothing" : std::string(reading);
  });
  if (changes.empty()) return {};
  return "The line carries plain letters only: " + changes + ".";
}

}  // namespace zentrel
