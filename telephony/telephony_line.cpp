// The line half of CTelephony: screening of result codes, the record blocks
// and the query pattern that grows them, registration, the choice of a
// device and the opening of its line.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "seriallink/trace.h"
#include "telephony/line_service.h"
#include "telephony/message_box.h"
#include "telephony/record_heap.h"
#include "telephony/telephony.h"

namespace zentrel {

std::atomic<CTelephony*> g_pTelephony{nullptr};

namespace {
constexpr std::size_t kDevCapsFirstSize = 1264;
constexpr std::size_t kAddressCapsFirstSize = 1204;
constexpr DWORD kVersionLow = 0x10003;
constexpr DWORD kVersionHigh = 0x10004;
constexpr DWORD kNoDevice = 0xFFFFFFFF;
constexpr std::size_t kNameTextSize = 260;
}  // namespace

CTelephony::CTelephony(ISerialLink* link, TelephonyHooks hooks)
    : m_pSerialLink(link), m_hooks(std::move(hooks)) {
  g_pTelephony.store(this);
}

void CTelephony::ShowMessage(const std::string& text) const {
  if (m_hooks.message_box) {
    m_hooks.message_box(text, MessageIcon::kWarning);
  } else {
    TelephonyMessageBox(text);
  }
}

CTelephony::~CTelephony() {
  CTelephony* self = this;
  g_pTelephony.compare_exchange_strong(self, nullptr);
}

int CTelephony::CheckLineResult(LONG result) {
  if (result >= 0) return 1;
  switch (static_cast<DWORD>(result)) {
    case 0x8000000E:
    case 0x8000001E:
    case 0x8000002D: OutputDebugStringA("The values in the INI file are invalid.\n"); break;
    case 0x80000043:
      OutputDebugStringA("There is a problem with your Telephony device driver.\n");
      break;
    case 0x80000044: OutputDebugStringA("Out of memory. Cancelling action.\n"); break;
    case 0x80000048: OutputDebugStringA("The TAPI operation failed.\n"); break;
    case 0x8000004B: OutputDebugStringA("A TAPI resource is unavailable at this time.\n"); break;
    case 0x80000052: UninitTelephony(); break;
    case 0x80000056:
      OutputDebugStringA("Remove one of your copies of your Telephony driver.\n");
      break;
    default: break;
  }
  return 0;
}

void* CTelephony::CheckAndReAllocBuffer(void* record, std::size_t size) {
  if (record != nullptr) {
    std::size_t current = RecordSize(record);
    if (current == 0) {
      OutputDebugStringA("LocalSize returned 0 in CheckAndReAllocBuffer/n");
      return nullptr;
    }
    if (current >= size) {
      std::memset(record, 0, current);
      *static_cast<DWORD*>(record) = static_cast<DWORD>(current);
      return record;
    }
    OutputDebugStringA("Reallocating structure\n");
    RecordFree(record);
  }
  void* block = RecordAlloc(size);
  if (block == nullptr) {
    OutputDebugStringA("LocalAlloc failed in CheckAndReAllocBuffer./n");
    return nullptr;
  }
  *static_cast<DWORD*>(block) = static_cast<DWORD>(size);
  return block;
}

// Prepares the block, issues the query while it answers a positive value,
// and grows the block to exactly what the answer needs.
void* CTelephony::QueryRecord(void* record, std::size_t first_size,
                              const std::function<LONG(void*)>& issue, const char* failure_text) {
  std::size_t size = first_size;
  for (;;) {
    record = CheckAndReAllocBuffer(record, size);
    if (record == nullptr) return nullptr;
    LONG result = 0;
    do {
      result = issue(record);
      if (!CheckLineResult(result)) {
        if (failure_text != nullptr) OutputDebugStringA(failure_text);
        RecordFree(record);
        return nullptr;
      }
    } while (result > 0);
    const DWORD* head = static_cast<const DWORD*>(record);  // total, needed
    if (head[1] <= head[0]) return record;
    size = head[1];
  }
}

LINEDEVCAPS* CTelephony::FetchDevCaps(LINEDEVCAPS* caps, DWORD device, DWORD version) {
  HLINEAPP app = m_hLineApp.load();
  return static_cast<LINEDEVCAPS*>(QueryRecord(
      caps, kDevCapsFirstSize,
      [&](void* r) {
        return lineGetDevCaps(app, device, version, 0, static_cast<LINEDEVCAPS*>(r));
      },
      "lineGetDevCaps unhandled errors/n"));
}

LINEADDRESSCAPS* CTelephony::FetchAddressCaps(LINEADDRESSCAPS* caps, DWORD device, DWORD address,
                                              DWORD version, DWORD ext_version) {
  HLINEAPP app = m_hLineApp.load();
  return static_cast<LINEADDRESSCAPS*>(QueryRecord(
      caps, kAddressCapsFirstSize,
      [&](void* r) {
        return lineGetAddressCaps(app, device, address, version, ext_version,
                                  static_cast<LINEADDRESSCAPS*>(r));
      },
      "lineGetAddressCaps unhandled error\n"));
}

int CTelephony::InitTelephony() {
  if (m_hLineApp.load() != 0) return 1;
  if (m_bInitializing.load()) return 0;
  m_bInitializing = 1;
  for (;;) {
    HLINEAPP app = 0;
    LONG result =
        lineInitialize(&app, nullptr, lineCallbackFunc, "DialIt", &m_dwNumDevs, m_hooks.dispatcher);
    if (app != 0) m_hLineApp = app;
    if (m_dwNumDevs == 0) {
      ShowMessage("There are no telephony devices installed.");
      m_bInitializing = 0;
      return 0;
    }
    if (!CheckLineResult(result)) {
      OutputDebugStringA("lineInitialize unhandled error\n");
      m_bInitializing = 0;
      return 0;
    }
    if (result > 0) continue;
    OutputDebugStringA("Tapi initialized.\n");
    m_bInitializing = 0;
    return 1;
  }
}

namespace {

// Writes the device's name if the record carries one in ASCII; the name is
// cut so that the text, with its line end, fits in 260 bytes.
void TraceLineName(const LINEDEVCAPS* caps) {
  if (caps->dwLineNameSize == 0 || caps->dwLineNameOffset == 0 ||
      caps->dwStringFormat != STRINGFORMAT_ASCII)
    return;
  const std::size_t total = caps->dwTotalSize;
  if (caps->dwLineNameOffset >= total) return;
  const char* name = reinterpret_cast<const char*>(caps) + caps->dwLineNameOffset;
  std::size_t length = std::min<std::size_t>(caps->dwLineNameSize, total - caps->dwLineNameOffset);
  length = strnlen(name, length);
  char text[kNameTextSize];
  const int room = static_cast<int>(kNameTextSize - 1 - std::strlen("Name of device is: \n"));
  std::snprintf(text, sizeof text, "Name of device is: %.*s\n",
                std::min(room, static_cast<int>(length)), name);
  OutputDebugStringA(text);
}

}  // namespace

LINEDEVCAPS* CTelephony::SelectLine() {
  LINEDEVCAPS* caps = nullptr;
  bool chosen = false;
  for (DWORD i = 0; i < m_dwNumDevs && !chosen; ++i) {
    LINEEXTENSIONID extension{};
    LONG result = lineNegotiateAPIVersion(m_hLineApp.load(), i, kVersionLow, kVersionHigh,
                                          &m_dwAPIVersion, &extension);
    const bool agreed = CheckLineResult(result) && m_dwAPIVersion != 0;
    if (agreed) {
      caps = FetchDevCaps(caps, i, m_dwAPIVersion);
      if (caps != nullptr) TraceLineName(caps);
    }
    // A device whose capabilities cannot be fetched is not usable.
    chosen = agreed && result == 0 && caps != nullptr;
    m_dwDeviceID = chosen ? i : kNoDevice;
  }
  if (!chosen && caps != nullptr) {
    RecordFree(caps);
    caps = nullptr;
  }
  return caps;
}

namespace {

// The first capability the chosen line lacks, as its message; or null.
const char* MissingCapability(const LINEDEVCAPS* caps) {
  if (!(caps->dwBearerModes & LINEBEARERMODE_VOICE))
    return "The selected line doesn't support VOICE capabilities";
  if (!(caps->dwLineFeatures & LINEFEATURE_MAKECALL))
    return "The selected line doesn't support MAKECALL capabilities";
  if (!(caps->dwMediaModes & LINEMEDIAMODE_INTERACTIVEVOICE))
    return "The selected line doesn't support INTERACTIVE VOICE "
           "capabilities";
  return nullptr;
}

}  // namespace

int CTelephony::OpenLine() {
  LINEDEVCAPS* caps = SelectLine();
  if (caps == nullptr) {
    OutputDebugStringA("Error on Requested line\n");
    StopCall();
    return 0;
  }
  if (const char* missing = MissingCapability(caps)) {
    ShowMessage(missing);
    RecordFree(caps);
    StopCall();
    return 0;
  }
  for (;;) {
    HLINE line = 0;
    LONG result = lineOpen(m_hLineApp.load(), m_dwDeviceID, &line, m_dwAPIVersion, 0, 0,
                           LINECALLPRIVILEGE_NONE, 0, nullptr);
    if (line != 0) m_hLine = line;
    if (result == LINEERR_ALLOCATED || result == LINEERR_RESOURCEUNAVAIL) {
      m_bLineAllocated = 1;
      StopCall();
      OutputDebugStringA(
          "Line is already in use by a non-TAPI application or by another "
          "TAPI Service Provider.\n");
      RecordFree(caps);
      return 0;
    }
    if (!CheckLineResult(result)) {
      OutputDebugStringA("Unable to Use Line\n");
      StopCall();
      RecordFree(caps);
      return 0;
    }
    if (result > 0) continue;
    RecordFree(caps);
    return 1;
  }
}

}  // namespace zentrel
