// CTelephony: the program's one connection to the line service - its
// registration, the choice and opening of a line, the dial, the reaction to
// the call's events, the hand-over of the connected call's port to the
// serial link, and the teardown. The newest object is the current one
// (g_pTelephony); events and teardown act on it. Teardown can be entered
// from the UI thread and from a failing link thread; see telephony_teardown.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "seriallink/link_view.h"
#include "telephony/call_end_reason.h"
#include "telephony/event_dispatch.h"
#include "telephony/line_types.h"
#include "telephony/message_box.h"

namespace zentrel {

// What one call's telephony reports through, when not the process's own
// (the form's): the thread its line events run on, and its message box.
struct TelephonyHooks {
  IEventDispatcher* dispatcher = nullptr;  // not owned; outlives the object
  TelephonyMessageBoxFn message_box;
};

class CTelephony : public ILinkTelephony {
 public:
  explicit CTelephony(ISerialLink* link, TelephonyHooks hooks = {});
  // Ends nothing (that is UninitTelephony's job); only empties the slot
  // if this object is current, so no event reaches a released object.
  ~CTelephony() override;

  // Registration, line and records.
  int InitTelephony();
  LINEDEVCAPS* SelectLine();
  int OpenLine();
  LINEDEVCAPS* FetchDevCaps(LINEDEVCAPS* caps, DWORD device, DWORD version);
  LINEADDRESSCAPS* FetchAddressCaps(LINEADDRESSCAPS* caps, DWORD device, DWORD address,
                                    DWORD version, DWORD ext_version);
  static void* CheckAndReAllocBuffer(void* record, std::size_t size);
  int CheckLineResult(LONG result);

  // Teardown: safe from the UI thread and from link threads.
  int StopCall();
  int UninitTelephony() override;

  // The call.
  int Dial(const char* number);
  int PlaceCall(const char* number);
  LINECALLPARAMS* BuildCallParams(const char* number);
  void OnCallState(DWORD device, DWORD state, DWORD detail);

  DWORD m_dwNumDevs = 0;
  DWORD m_dwDeviceID = 0;
  std::atomic<std::int32_t> m_bShuttingDown{0};
  std::atomic<std::int32_t> m_bStoppingCall{0};
  std::atomic<std::int32_t> m_bInitializing{0};
  std::atomic<std::int32_t> m_bCallInProgress{0};
  std::atomic<HLINEAPP> m_hLineApp{0};
  std::atomic<HCALL> m_hCall{0};
  std::atomic<HLINE> m_hLine{0};
  DWORD m_dwAPIVersion = 0;
  char m_szPhoneNumber[64] = {};
  ISerialLink* m_pSerialLink;

  // How this object's call ended, as the line service told it, for a
  // sender to read once the call is over: the first end state (BUSY,
  // SPECIALINFO, or DISCONNECTED with its mode in m_dwEndMode), whether the
  // call had connected, whether the line was held by another program.
  std::atomic<DWORD> m_dwEndState{0};
  std::atomic<DWORD> m_dwEndMode{0};
  std::atomic<std::int32_t> m_bConnected{0};
  std::atomic<std::int32_t> m_bLineAllocated{0};

  // Why the call ended, as the first end state said it (or the line's own
  // problem when it failed to come up); kNone while none came.
  CallEndReason EndReason() const;

 private:
  friend int RunTeardown(CTelephony* via, unsigned kind);
  int StopCallNow();
  int UninitNow();
  void HandOver();
  void NoteEnd(DWORD state, DWORD detail);
  // The call's message box, else the process's.
  void ShowMessage(const std::string& text) const;
  void* QueryRecord(void* record, std::size_t first_size, const std::function<LONG(void*)>& issue,
                    const char* failure_text);

  const TelephonyHooks m_hooks;
  mutable std::mutex m_endMutex;
  CallEndReason m_end;
};

// The current object: the newest one constructed.
extern std::atomic<CTelephony*> g_pTelephony;

// The callback registered with the line service; acts on g_pTelephony.
void lineCallbackFunc(DWORD device, DWORD message, DWORD instance, DWORD param1, DWORD param2,
                      DWORD param3);

}  // namespace zentrel
