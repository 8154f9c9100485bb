// Line errors as the link reports them: the words list of an error word
// ("frame error and a parity error") and the decoder of the byte stream of a
// tty with parity marking on (PARMRK), where 0377 0 c marks a byte c received
// with a framing or parity error and 0377 0377 stands for one 0377.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zentrel {

// The items that apply, in the order frame, overrun, parity, unknown, joined
// with " and "; "a NULL error" for a zero word.
std::string LineErrorWords(std::uint32_t error_word);

class ParmrkDecoder {
 public:
  // Decodes `in` into `out` (which has room for n bytes: decoding never
  // grows). Returns the bytes written; ORs the error bits of marks into
  // *error_word. A mark split across calls is carried over.
  std::size_t Decode(const char* in, std::size_t n, char* out, std::uint32_t* error_word);

 private:
  int state_ = 0;  // 0 plain, 1 after 0377, 2 after 0377 0
};

}  // namespace zentrel
