// How long a Hayes modem gets for each step of a call, and the pauses the
// driver keeps. The defaults are what real modems need; tests pass short ones.
#pragma once

#include <chrono>

namespace zentrel {

struct HayesTimings {
  std::chrono::milliseconds command_timeout{5000};  // OK to init and ATH
  std::chrono::milliseconds dial_timeout{60000};    // answer to ATDT
  std::chrono::milliseconds escape_guard{1000};     // silence around +++
  std::chrono::milliseconds dtr_hold{500};          // DTR low to hang up
  std::chrono::milliseconds hangup_wait{2000};      // answer or DCD low after DTR
  std::chrono::milliseconds watch_interval{250};    // carrier checks
  std::chrono::milliseconds line_end_grace{100};    // LF after a CR
  // After the line's INIT answers OK: it usually resets the modem (ATZ),
  // which some modems finish after their OK. The emulator needs none in any
  // of its scenarios; the driver's other commands get no pause.
  std::chrono::milliseconds after_init{100};
};

}  // namespace zentrel
