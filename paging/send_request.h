// The one start of a send, for the form and for zentrel-send alike: the
// PIN, message and number are checked (page_check.h), and only then a new
// serial link and telephony object are made (each the current one), the
// number (checked to fit, never cut) is copied, and the call is dialled. Whatever a
// send must do besides, it does here, so both programs do it the same way.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "seriallink/comm_link.h"
#include "telephony/telephony.h"

namespace zentrel {

struct PageRequest {
  std::string pin;      // as the PIN box holds it
  std::string message;  // as the message box holds it (CR LF line breaks)
  std::string phone;    // the number to dial, as typed or stored
  // The line that will carry the call does not dial (serial, tcp, tls):
  // the number is neither checked nor passed on.
  bool number_unused = false;
};

struct StartedSend {
  std::string refusal;  // not empty: nothing was made or dialled, and why
  std::string notice;   // not empty: the message is cut, and by how much
  std::unique_ptr<CCommLink> link;
  std::unique_ptr<CTelephony> tapi;
  int dialled = 0;  // what Dial returned (0 when refused)
};

// The checks alone, with nothing made or dialled: refusal and notice as
// StartSend would give them.
StartedSend CheckSend(const PageRequest& request);

// Called with the new link and telephony object before the dial, so that
// the caller can keep them where its link threads will look for them.
using PublishSendFn = std::function<void(CCommLink& link, CTelephony& tapi)>;

// Checks `request`; when it may go, makes the link for `view` and the
// telephony object (reporting through `hooks`: the call's own, else the
// process's), publishes them, copies the number and dials.
StartedSend StartSend(const PageRequest& request, ILinkView& view, const PublishSendFn& publish,
                      TelephonyHooks hooks = {});

}  // namespace zentrel
