// The call half of CTelephony: the dial, the call parameters, the events
// of the line service and the hand-over of the connected call's port to the
// serial link.
#include <unistd.h>

#include <cstring>

#include "seriallink/handover.h"
#include "seriallink/trace.h"
#include "telephony/call_end_reason.h"
#include "telephony/line_service.h"
#include "telephony/message_box.h"
#include "telephony/record_heap.h"
#include "telephony/telephony.h"

namespace zentrel {
namespace {

constexpr std::size_t kCallParamsFixed = sizeof(LINECALLPARAMS);  // 112
constexpr std::size_t kVarStringFirstSize = 1048;
constexpr std::size_t kNumberLimit = sizeof(CTelephony::m_szPhoneNumber) - 1;

void CloseHandle(int handle) { close(handle); }

// The trace's line for a disconnect: the mode's words after "Disconnected: ".
std::string DisconnectText(DWORD mode) {
  switch (mode) {
    case LINEDISCONNECTMODE_NORMAL: return "Remote Party Disconnected";
    case LINEDISCONNECTMODE_REJECT: return "Remote Party rejected call";
    default: return std::string("Disconnected: ") + DisconnectWords(mode);
  }
}

}  // namespace

int CTelephony::Dial(const char* number) {
  if (m_bCallInProgress.load()) {
    ShowMessage("A call is already being handled.");
    return 0;
  }
  if (m_hLineApp.load() == 0 && !InitTelephony()) {
    ShowMessage("A problem initializing.");
    return 0;
  }
  if (m_dwNumDevs < 1) {
    ShowMessage("No line devices available.");
    return 0;
  }
  m_bCallInProgress = 1;
  if (number != nullptr && number != m_szPhoneNumber) {
    std::strncpy(m_szPhoneNumber, number, kNumberLimit);
    m_szPhoneNumber[kNumberLimit] = '\0';
  }
  if (!OpenLine()) return 0;
  if (PlaceCall(m_szPhoneNumber)) {
    OutputDebugStringA("lineMakeCall succeeded.\n");
    return 1;
  }
  OutputDebugStringA("lineMakeCall failed.\n");
  StopCall();
  return 0;
}

int CTelephony::PlaceCall(const char* number) {
  LINEADDRESSCAPS* address = FetchAddressCaps(nullptr, m_dwDeviceID, 0, m_dwAPIVersion, 0);
  if (address == nullptr) return 0;
  LINECALLPARAMS* params = BuildCallParams(number);
  if (params == nullptr) {
    RecordFree(address);
    return 0;
  }
  // The service writes the call's handle before it reports any event of
  // the call, and events reach us only from this thread's event loop.
  HCALL call = 0;
  LONG result = lineMakeCall(m_hLine.load(), &call, number, 0, params);
  m_hCall = call;
  if (CheckLineResult(result)) {
    RecordFree(address);
    RecordFree(params);
    return 1;
  }
  OutputDebugStringA("lineMakeCall unhandled error\n");
  RecordFree(address);
  RecordFree(params);
  ShowMessage("Dial failed.");
  return 0;
}

LINECALLPARAMS* CTelephony::BuildCallParams(const char* number) {
  if (number == nullptr) number = "";
  const std::size_t length = std::strlen(number);
  auto* params =
      static_cast<LINECALLPARAMS*>(CheckAndReAllocBuffer(nullptr, kCallParamsFixed + length + 1));
  if (params == nullptr) return nullptr;
  params->dwBearerMode = LINEBEARERMODE_VOICE;
  params->dwMediaMode = LINEMEDIAMODE_DATAMODEM;
  params->dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
  params->dwAddressMode = LINEADDRESSMODE_ADDRESSID;
  params->dwAddressID = 0;
  params->dwDisplayableAddressSize = static_cast<DWORD>(length + 1);
  params->dwDisplayableAddressOffset = kCallParamsFixed;
  std::memcpy(reinterpret_cast<char*>(params) + kCallParamsFixed, number, length + 1);
  return params;
}

void lineCallbackFunc(DWORD device, DWORD message, DWORD, DWORD param1, DWORD param2, DWORD) {
  CTelephony* t = g_pTelephony.load();
  if (t == nullptr) return;
  switch (message) {
    case LINE_CALLSTATE: t->OnCallState(device, param1, param2); break;
    case LINE_CLOSE:
      t->m_hLine = 0;
      t->m_hCall = 0;
      t->StopCall();
      break;
    case LINE_REPLY:
      OutputDebugStringA(param2 != 0 ? "LINE_REPLY error\n"
                                     : "LINE_REPLY: successfully replied.\n");
      break;
    case LINE_CREATE:
      if (param1 >= t->m_dwNumDevs) t->m_dwNumDevs = param1 + 1;
      break;
    default: OutputDebugStringA("lineCallbackFunc message ignored\n"); break;
  }
}

void CTelephony::OnCallState(DWORD device, DWORD state, DWORD detail) {
  if (device != m_hCall.load()) {
    OutputDebugStringA("LINE_CALLSTATE: Unknown device ID ");
    return;
  }
  if (state == LINECALLSTATE_BUSY || state == LINECALLSTATE_SPECIALINFO ||
      state == LINECALLSTATE_DISCONNECTED) {
    DWORD none = 0;
    if (m_dwEndState.compare_exchange_strong(none, state)) {
      m_dwEndMode = detail;
      NoteEnd(state, detail);
    }
  }
  switch (state) {
    case LINECALLSTATE_IDLE:
      OutputDebugStringA("Line idle\n");
      StopCall();
      break;
    case LINECALLSTATE_DIALTONE: OutputDebugStringA("Dial Tone\n"); break;
    case LINECALLSTATE_DIALING: OutputDebugStringA("Dialing\n"); break;
    case LINECALLSTATE_RINGBACK: OutputDebugStringA("RingBack\n"); break;
    case LINECALLSTATE_BUSY:
      OutputDebugStringA("Line busy, shutting down\n");
      StopCall();
      break;
    case LINECALLSTATE_SPECIALINFO:
      OutputDebugStringA("Special Info, probably couldn't dial number\n");
      StopCall();
      break;
    case LINECALLSTATE_CONNECTED:
      m_bConnected = 1;
      HandOver();
      break;
    case LINECALLSTATE_PROCEEDING: OutputDebugStringA("Proceeding\n"); break;
    case LINECALLSTATE_DISCONNECTED:
      OutputDebugStringA(DisconnectText(detail));
      OutputDebugStringA("\n");
      StopCall();
      break;
    default: break;
  }
}

// The first end state's reason; a line that failed to come up for the
// call says why itself (its problem), which says more than the state.
void CTelephony::NoteEnd(DWORD state, DWORD detail) {
  CallEndReason end = EndOfState(state, detail, m_bConnected.load() != 0);
  if (state == LINECALLSTATE_DISCONNECTED) {
    if (std::optional<LineProblem> failure = lineGetCallFailure(m_hCall.load())) {
      end = LineFailedEnd(std::move(*failure));
    }
  }
  std::lock_guard lock(m_endMutex);
  m_end = std::move(end);
}

CallEndReason CTelephony::EndReason() const {
  std::lock_guard lock(m_endMutex);
  return m_end;
}

// The connected call's port goes to the serial link; if the link refuses
// it, the port is closed and the call ended.
void CTelephony::HandOver() {
  const HCALL call = m_hCall.load();
  CommHandover with;  // what the driver hands over beside the descriptor
  auto* id = static_cast<VARSTRING*>(QueryRecord(
      nullptr, kVarStringFirstSize,
      [call, &with](void* r) {
        return lineGetID(0, 0, call, LINECALLSELECT_CALL, static_cast<VARSTRING*>(r),
                         "comm/datamodem", &with);
      },
      nullptr));
  if (id == nullptr) {
    StopCall();
    return;
  }
  // A record whose string cannot hold a handle is no answer.
  if (id->dwStringSize < 4 || id->dwStringOffset > id->dwTotalSize - 4) {
    RecordFree(id);
    StopCall();
    return;
  }
  OutputDebugStringA("Connected!  Starting communications!\n");
  std::int32_t handle = -1;
  std::memcpy(&handle, reinterpret_cast<const char*>(id) + id->dwStringOffset, sizeof handle);
  if (m_pSerialLink != nullptr && m_pSerialLink->Attach(handle, with) == 1) {
    RecordFree(id);
    return;
  }
  CloseHandle(handle);
  StopCall();
  RecordFree(id);
}

}  // namespace zentrel
