// StartSend: checks first, so that a refused page leaves no trace on the
// line; then the steps of "Send Page" after the flags are cleared. The
// refusal is written to the trace as well, for the form's log.
#include "paging/send_request.h"

#include <cstring>

#include "paging/page_check.h"
#include "seriallink/comm_link.h"
#include "seriallink/trace.h"
#include "telephony/telephony.h"

namespace zentrel {

static_assert(kMaxPhoneChars < sizeof(CTelephony::m_szPhoneNumber));

StartedSend CheckSend(const PageRequest& request) {
  StartedSend send;
  send.refusal = PinRefusal(request.pin);
  if (send.refusal.empty()) send.refusal = BlockRefusal(request.pin, request.message);
  if (send.refusal.empty() && !request.number_unused) send.refusal = NumberRefusal(request.phone);
  if (send.refusal.empty()) send.notice = MessageCutNotice(request.message);
  return send;
}

StartedSend StartSend(const PageRequest& request, ILinkView& view, const PublishSendFn& publish,
                      TelephonyHooks hooks) {
  StartedSend send = CheckSend(request);
  if (!send.refusal.empty()) {
    OutputDebugStringA("Send refused: " + send.refusal + "\n");
    return send;
  }
  send.link = std::make_unique<CCommLink>(view);
  send.tapi = std::make_unique<CTelephony>(send.link.get(), std::move(hooks));
  if (publish) publish(*send.link, *send.tapi);
  // Checked: it fits the telephony object's number whole.
  const std::string& number = request.number_unused ? std::string() : request.phone;
  std::memcpy(send.tapi->m_szPhoneNumber, number.c_str(), number.size() + 1);
  send.dialled = send.tapi->Dial(send.tapi->m_szPhoneNumber);
  return send;
}

}  // namespace zentrel
