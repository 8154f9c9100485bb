// The Hayes modem's answers, parsed apart from any I/O. A line splitter
// collects bytes into lines (a line ends at LF; CR is dropped, and a line
// ended by CR alone is completed by the caller after a short wait); the
// parser turns one line into a typed result. Verbose and numeric result
// codes are understood, CONNECT with any rate or suffix; command echo and
// anything else are reported as such.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentrel {

enum class HayesKind {
  kOk,
  kConnect,
  kRing,
  kNoCarrier,
  kError,
  kNoDialtone,
  kBusy,
  kNoAnswer,
  kDelayed,      // the modem will not dial that number again yet
  kBlacklisted,  // the modem refuses that number for good
  kVoice,        // a voice answered
  kEcho,         // the modem echoing our command ("AT...")
  kEmpty,        // a blank line between CR LF pairs
  kUnknown,      // junk or an answer this driver has no use for
};

struct HayesResponse {
  HayesKind kind = HayesKind::kUnknown;
  std::string rate;  // CONNECT's rate and suffix ("1200/ARQ"), "" if none
};

HayesResponse ParseHayesLine(std::string_view line);

// Readable name of a kind, for traces and test messages.
const char* HayesKindName(HayesKind kind);

class HayesLineSplitter {
 public:
  // Takes one byte; a complete line comes back when `byte` ended it.
  std::optional<std::string> Feed(char byte);
  // True when the text so far ended with a CR that no LF has followed yet.
  bool AwaitingLineFeed() const { return after_cr_; }
  // True when some text of an unfinished line is held.
  bool HasPartial() const { return !partial_.empty(); }
  // Ends the pending line (a modem that ends lines with CR only).
  std::optional<std::string> Flush();

 private:
  std::string partial_;
  bool after_cr_ = false;
};

}  // namespace zentrel
