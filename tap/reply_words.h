// The terminal's own words in a reply: its printable text lines ("211 Page
// accepted", "Invalid Pin"), without the control bytes around them. A reply
// with no text is named by its control reply ("NAK", "RS"), so the page log
// always says what the terminal answered.
#pragma once

#include <string>
#include <string_view>

namespace zentrel::tap {

// The text lines of `received`, joined by " / "; when it holds none, the
// names of its ACK, NAK, RS or EOT bytes; empty when neither.
std::string ReplyWords(std::string_view received);

// The terminal's answer to one page: the words of each reply fed from the
// block's going out until the first that holds ACK, NAK or RS; what follows
// (a goodbye, the modem's NO CARRIER) is not about the page. Not locked.
class PageAnswer {
 public:
  void Feed(std::string_view received);
  const std::string& words() const { return words_; }

 private:
  std::string words_;
  bool answered_ = false;
};

}  // namespace zentrel::tap
