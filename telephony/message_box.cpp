// The message-box hook: installed once at start-up, before any telephony
// runs, and called on the UI thread only (every box is shown from the dial
// or the line set-up, never from teardown).
#include "telephony/message_box.h"

#include "seriallink/trace.h"

namespace zentrel {
namespace {
TelephonyMessageBoxFn& Hook() {
  static TelephonyMessageBoxFn hook;
  return hook;
}
}  // namespace

TelephonyMessageBoxFn SetTelephonyMessageBox(TelephonyMessageBoxFn hook) {
  TelephonyMessageBoxFn previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

void TelephonyMessageBox(const std::string& text) {
  if (Hook()) {
    Hook()(text, MessageIcon::kWarning);
  } else {
    OutputDebugStringA("Message box: " + text + "\n");
  }
}

}  // namespace zentrel
