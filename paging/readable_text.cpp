// The token table (a subset of the protocol core's names) and the walk over
// a received block; see readable_text.h.
// The walk covers at least index 0, which is how an empty text (its first
// byte NUL) comes out as "<NUL>".
#include "paging/readable_text.h"

#include <array>

#include "tap/control_bytes.h"

namespace zentrel {

namespace {

// The bytes the transaction spells out; every other byte is copied as it is.
constexpr std::array<char, 12> kSpelled{'\0',      tap::kStx, tap::kEtx, tap::kEot,
                                        tap::kAck, tap::kLf,  tap::kCr,  tap::kNak,
                                        tap::kEtb, tap::kEsc, tap::kRs,  tap::kUs};

}  // namespace

std::string_view ControlToken(unsigned char byte) {
  static const auto tokens = [] {
    std::array<std::string, 32> t;
    for (const char c : kSpelled) {
      const auto b = static_cast<unsigned char>(c);
      t[b] = tap::ControlToken(b);
    }
    return t;
  }();
  return byte < tokens.size() ? std::string_view(tokens[byte]) : std::string_view();
}

std::string ReadableText(std::string_view received) {
  const std::size_t end = received.find('\0');
  const std::string_view text = received.substr(0, end);
  if (text.empty()) return std::string(ControlToken(0x00));

  std::string readable;
  readable.reserve(text.size() * 2);
  for (const char c : text) {
    const std::string_view token = ControlToken(static_cast<unsigned char>(c));
    if (token.empty()) {
      readable.push_back(c);
    } else {
      readable.append(token);
    }
  }
  return readable;
}

}  // namespace zentrel
