// Long messages: cut to the page's limit, or split into several pages that
// each start with "k/n " (the way other paging senders number them), cut at
// a space when one is near the end of the piece.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::tap {

// The pages for `text` at most `max_chars` characters each: the whole text
// when it fits; else "1/n ...", "2/n ...", ... A limit too small to hold a
// prefix and a character gives the text cut to the limit.
std::vector<std::string> SplitMessage(std::string_view text, std::size_t max_chars);

}  // namespace zentrel::tap
