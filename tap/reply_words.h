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

}  // namespace zentrel::tap
