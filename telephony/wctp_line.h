// The wctp line kind: a line whose calls carry pages over HTTPS to a
// carrier's WCTP gateway, not bytes. It is chosen as any line is (the first
// usable one of lines.conf: its setup sound and its gateway reachable); the
// sender that gets it (the form, zentrel-send, a gateway's worker) posts
// its pages by delivery/wctp_batch instead of placing a call.
// Its lines.conf line: wctp URL [sender=ID] [security-file=FILE] [ca=FILE]
#pragma once

#include <string>

#include "telephony/line_kind.h"

namespace zentrel {

struct WctpLineFields : LineKindFields {
  std::string url;            // the carrier's WCTP address
  std::string sender;         // the senderID
  std::string security_file;  // its first line is the securityCode
  std::string ca_file;        // trust these instead of the system's
};

// Why pages may not be posted to `url`; "" when they may: https, or http
// to a loopback address (localhost, 127.0.0.0/8, ::1).
std::string WctpUrlRefusal(const std::string& url);

// Why the line cannot be used as it is set up (its URL, a file that cannot
// be read); "" when it can. Nothing is contacted.
std::string WctpSetupProblem(const WctpLineFields& line);

}  // namespace zentrel
