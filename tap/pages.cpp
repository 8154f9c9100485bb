// Splitting: the numbers' width depends on the page count, so the pieces are
// made for one digit, then two, ... until the count fits the width (a few
// passes over the text at most, each stopping once it has too many pieces).
// Pieces are views into the text until the pages are written.
#include "tap/pages.h"

namespace zentrel::tap {
namespace {

std::string Prefix(std::size_t k, std::size_t n) {
  return std::to_string(k) + "/" + std::to_string(n) + " ";
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// `at` moved back to the first byte of the UTF-8 character it falls in; `at`
// itself when it starts a character or the bytes there are not UTF-8.
std::size_t CharacterStart(std::string_view text, std::size_t at) {
  if (at >= text.size() || !IsContinuation(text[at])) return at;
  for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
    if (static_cast<unsigned char>(text[at - back]) >= 0xC0) return at - back;
    if (!IsContinuation(text[at - back])) break;
  }
  return at;
}

// Takes the next piece of at most `room` bytes off `rest`: up to the last
// space in the piece's second half (the space goes with neither piece), else
// as much as fits without cutting a character. Empty when not even the first
// character fits.
std::string_view NextPiece(std::string_view& rest, std::size_t room) {
  std::size_t cut = rest.size();
  std::size_t skip = 0;
  if (cut > room) {
    const std::size_t half = room / 2;
    const std::size_t space = rest.substr(half, room + 1 - half).rfind(' ');
    if (space != std::string_view::npos && half + space > 0) {
      cut = half + space;
      skip = 1;
    } else {
      cut = CharacterStart(rest, room);
    }
  }
  const std::string_view piece = rest.substr(0, cut);
  if (!piece.empty()) rest.remove_prefix(cut + skip);
  return piece;
}

enum class Fit { kFits, kTooMany, kNoRoom };

// The pieces of `text` at `room` bytes each, stopping past `most` of them.
Fit Pieces(std::string_view text, std::size_t room, std::size_t most,
           std::vector<std::string_view>& pieces) {
  pieces.clear();
  for (std::string_view rest = text; !rest.empty();) {
    if (pieces.size() == most) return Fit::kTooMany;
    pieces.push_back(NextPiece(rest, room));
    if (pieces.back().empty()) return Fit::kNoRoom;
  }
  return Fit::kFits;
}

std::vector<std::string> Numbered(const std::vector<std::string_view>& pieces) {
  std::vector<std::string> pages;
  pages.reserve(pieces.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    pages.push_back(Prefix(k + 1, pieces.size()).append(pieces[k]));
  }
  return pages;
}

}  // namespace

std::string_view CutMessage(std::string_view text, std::size_t max_bytes) {
  return text.substr(0, CharacterStart(text, std::min(max_bytes, text.size())));
}

SplitPages SplitMessage(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return {{std::string(text)}, {}};
  std::vector<std::string_view> pieces;
  // The pages that one digit, two digits, ... can number.
  for (std::size_t most = 9; Prefix(most, most).size() < max_bytes; most = most * 10 + 9) {
    const Fit fit = Pieces(text, max_bytes - Prefix(most, most).size(), most, pieces);
    if (fit == Fit::kFits) return {Numbered(pieces), {}};
    // More digits only shorten the pieces: no help when a character did not
    // fit, or when every byte already had a page of its own.
    if (fit == Fit::kNoRoom || most >= text.size()) break;
  }
  return {{},
          "pages of " + std::to_string(max_bytes) +
              " characters leave no room beside their numbers (\"1/n \") for this message"};
}

}  // namespace zentrel::tap
