// The words list and the mark decoder. Without the driver's counters a mark
// can't say which error it was: a marked NUL is taken as a framing error
// (what a break or a wrong speed gives), any other marked byte as a parity
// error. The marked byte itself is still delivered, as received.
#include "seriallink/line_errors.h"

#include "seriallink/comm_device.h"

namespace zentrel {

std::string LineErrorWords(std::uint32_t error_word) {
  if (error_word == 0) return "a NULL error";
  std::string words;
  auto add = [&words](const char* item) {
    if (!words.empty()) words += " and ";
    words += item;
  };
  if (error_word & CE_FRAME) add("frame error");
  if (error_word & CE_OVERRUN) add("overrun error");
  if (error_word & CE_RXPARITY) add("a parity error");
  if (error_word & ~(CE_FRAME | CE_OVERRUN | CE_RXPARITY)) add("an unknown error");
  return words;
}

std::size_t ParmrkDecoder::Decode(const char* in, std::size_t n, char* out,
                                  std::uint32_t* error_word) {
  std::size_t w = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (state_ == 0) {
      if (c == 0377) {
        state_ = 1;
      } else {
        out[w++] = static_cast<char>(c);
      }
    } else if (state_ == 1) {
      if (c == 0) {
        state_ = 2;
      } else {
        // 0377 0377 is a received 0377. The driver never sends a lone 0377
        // before anything else; should it, the 0377 is dropped so that the
        // output never outgrows the input.
        out[w++] = static_cast<char>(c);
        state_ = 0;
      }
    } else {
      *error_word |= c == 0 ? CE_FRAME : CE_RXPARITY;
      out[w++] = static_cast<char>(c);
      state_ = 0;
    }
  }
  return w;
}

}  // namespace zentrel
