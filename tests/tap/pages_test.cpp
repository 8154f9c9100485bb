// Long messages: cut and split at the page's limit, never inside a UTF-8
// character, limits too small for the page numbers refused, and every split
// keeping all of the text (but the spaces it was split at) in order.
#include "tap/pages.h"

#include <gtest/gtest.h>

#include <string>

namespace zentrel::tap {
namespace {

const std::string kEuro = "\xe2\x82\xac";  // three bytes
const std::string kE = "\xc3\xa9";         // two bytes

TEST(TapPages, CutNeverEndsInsideACharacter) {
  struct Row {
    const char* name;
    std::string text;
    std::size_t max;
    std::string cut;
  };
  const Row rows[] = {
      {"fits", "abc", 5, "abc"},
      {"ASCII", "abcdef", 4, "abcd"},
      {"inside a three-byte character", "ab" + kEuro, 3, "ab"},
      {"inside its last byte", "ab" + kEuro, 4, "ab"},
      {"just after a character", "ab" + kEuro + "c", 5, "ab" + kEuro},
      {"inside a two-byte character", kE + kE, 3, kE},
      {"bytes that are not UTF-8",
       "a\x80\x80\x80\x80"
       "b",
       3, "a\x80\x80"},
  };
  for (const Row& row : rows) EXPECT_EQ(CutMessage(row.text, row.max), row.cut) << row.name;
}

TEST(TapPages, SplitAndRefusals) {
  struct Row {
    const char* name;
    std::string text;
    std::size_t max;
    std::vector<std::string> pages;  // empty: refused
  };
  // Ten pages of five would need two digits: sixteen pages of three.
  std::vector<std::string> sixteen;
  for (int k = 1; k <= 16; ++k) sixteen.push_back(std::to_string(k) + "/16 xxx");
  const Row rows[] = {
      {"fits", "short", 10, {"short"}},
      {"no space", "abcdefghijkl", 10, {"1/2 abcdef", "2/2 ghijkl"}},
      {"at spaces", "one two three four", 12, {"1/3 one two", "2/3 three", "3/3 four"}},
      {"characters kept whole",
       "ab" + kEuro + kEuro + kEuro,
       8,
       {"1/4 ab", "2/4 " + kEuro, "3/4 " + kEuro, "4/4 " + kEuro}},
      {"two-digit numbers", std::string(48, 'x'), 9, sixteen},
      {"numbers leave no room", std::string(1000, 'x'), 8, {}},
      {"64 KiB at 12", std::string(65536, 'y'), 12, {}},
      {"a character wider than the room", kEuro + kEuro + kEuro + kEuro, 6, {}},
  };
  for (const Row& row : rows) {
    const SplitPages split = SplitMessage(row.text, row.max);
    EXPECT_EQ(split.pages, row.pages) << row.name;
    EXPECT_EQ(split.refusal.empty(), !row.pages.empty()) << row.name << ": " << split.refusal;
  }
}

// What a page holds after its "k/n " number.
std::string_view Text(std::string_view page) { return page.substr(page.find(' ') + 1); }

bool StartsInsideACharacter(std::string_view s) {
  return !s.empty() && (static_cast<unsigned char>(s.front()) & 0xC0) == 0x80;
}

TEST(TapPages, SplitKeepsTheWholeTextInOrder) {
  std::string words;
  while (words.size() < 70000) words += "Pump " + kEuro + "3 pressure l" + kE + "w, call. ";
  struct Row {
    const char* name;
    std::string text;
    std::size_t max;
  };
  const Row rows[] = {
      {"64 KiB of one letter", std::string(65536, 'y'), 199},
      {"64 KiB of one letter, small pages", std::string(65536, 'y'), 13},
      {"words with accents", words, 160},
      {"words with accents, small pages", words, 16},
  };
  for (const Row& row : rows) {
    const SplitPages split = SplitMessage(row.text, row.max);
    ASSERT_FALSE(split.pages.empty()) << row.name << ": " << split.refusal;
    std::size_t at = 0;  // where the next page's text must be in the message
    for (const std::string& page : split.pages) {
      ASSERT_LE(page.size(), row.max) << row.name;
      const std::string_view text = Text(page);
      EXPECT_FALSE(StartsInsideACharacter(text)) << row.name << " at " << at;
      if (row.text.compare(at, text.size(), text) != 0) ++at;  // the space split at
      ASSERT_EQ(row.text.compare(at, text.size(), text), 0) << row.name << " at " << at;
      at += text.size();
      EXPECT_FALSE(StartsInsideACharacter(std::string_view(row.text).substr(at)))
          << row.name << " at " << at;
    }
    EXPECT_EQ(at, row.text.size()) << row.name;
  }
}

}  // namespace
}  // namespace zentrel::tap
