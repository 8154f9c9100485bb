// Splitting: the prefix's width depends on the page count, so the count is
// found by trying 1, 2, 3... until the pieces fit.
#include "tap/pages.h"

namespace zentrel::tap {
namespace {

std::string Prefix(std::size_t k, std::size_t n) {
  return std::to_string(k) + "/" + std::to_string(n) + " ";
}

// Cuts the next piece of at most `room` characters, at the last space up to
// the cut when it lies in the piece's second half (the space goes with
// neither piece).
std::string_view NextPiece(std::string_view& rest, std::size_t room) {
  std::size_t cut = std::min(room, rest.size());
  std::size_t skip = 0;
  if (cut < rest.size()) {
    const std::size_t space = rest.substr(0, cut + 1).rfind(' ');
    if (space != std::string_view::npos && space >= cut / 2) {
      cut = space;
      skip = 1;
    }
  }
  const std::string_view piece = rest.substr(0, cut);
  rest.remove_prefix(cut + skip);
  return piece;
}

std::vector<std::string> Pieces(std::string_view text, std::size_t max_chars, std::size_t n) {
  std::vector<std::string> pages;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t room = max_chars - Prefix(n, n).size();
    pages.push_back(std::string(NextPiece(rest, room)));
  }
  return pages;
}

}  // namespace

std::vector<std::string> SplitMessage(std::string_view text, std::size_t max_chars) {
  if (text.size() <= max_chars) return {std::string(text)};
  for (std::size_t n = 2; n <= text.size(); ++n) {
    if (Prefix(n, n).size() >= max_chars) break;
    std::vector<std::string> pieces = Pieces(text, max_chars, n);
    if (pieces.size() > n) continue;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      pieces[k] = Prefix(k + 1, pieces.size()) + pieces[k];
    }
    return pieces;
  }
  return {std::string(text.substr(0, max_chars))};
}

}  // namespace zentrel::tap
