// The gateway's recipients: PIN -> names and the terminal's number, read
// whole from the recipients' database (vp.mdb) at start and on SIGHUP, and
// the check a submitted page passes before it is queued: a known PIN, a PIN
// and text that fit a block, a number that can be dialled.
#pragma once

#include <map>
#include <string>

#include "queue/page_record.h"

namespace zentrel::gateway {

struct Recipient {
  std::string fname;
  std::string lname;
  std::string phone;
};

using Recipients = std::map<std::string, Recipient>;

// Throws std::runtime_error naming the file and the cause.
Recipients LoadRecipients(const std::string& db_path);

struct PageCheck {
  std::string code;   // "" when the page may be queued, else "unknown-pin" or "refused"
  std::string error;  // for a person
};

// Checks one page for `pin` with `text` as a direct send would.
PageCheck CheckPage(const Recipients& recipients, const std::string& pin, const std::string& text);

}  // namespace zentrel::gateway
