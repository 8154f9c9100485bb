// Long messages: cut to the page's limit, or split into several pages that
// each start with "k/n " (the way other paging senders number them), cut at
// a space when one is near the end of the piece. Limits count the bytes that
// go out; a cut never falls inside a UTF-8 character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::tap {

// The longest start of `text` of at most `max_bytes` bytes that does not end
// inside a UTF-8 character (bytes that are not UTF-8 are cut anywhere).
std::string_view CutMessage(std::string_view text, std::size_t max_bytes);

struct SplitPages {
  std::vector<std::string> pages;
  std::string refusal;  // not empty: no pages, and why
};

// The pages for `text` at most `max_bytes` bytes each: the whole text when
// it fits; else "1/n ...", "2/n ...", ... A limit that leaves no room beside
// the numbers for the text (or for one of its characters) is refused.
// Linear in the text.
SplitPages SplitMessage(std::string_view text, std::size_t max_bytes);

}  // namespace zentrel::tap
