// A line driver the tests script: each operation answers the next result
// queued for it (0 when none is queued), capabilities come from fields the
// test sets, every operation is logged by name, and the test raises events
// through the sink the line service gave at lineOpen.
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "telephony/line_driver.h"

namespace zentrel::test {

class FakeLineDriver : public ILineDriver {
 public:
  // Scripted answers and data.
  std::map<std::string, std::deque<LONG>> results;
  DWORD num_devs = 1;
  std::map<DWORD, LONG> refuse_version;  // device -> negotiation result
  DWORD devcaps_needed = 0;              // 0: the answer fits
  DWORD bearer = LINEBEARERMODE_VOICE;
  DWORD media = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
  DWORD features = LINEFEATURE_MAKECALL;
  DWORD call_state = LINECALLSTATE_CONNECTED;
  DWORD id_needed = 0;  // 0: the answer fits
  std::int32_t comm_handle = 42;
  static constexpr HCALL kCall = 0x77;
  static constexpr HLINE kLine = 0x55;
  static constexpr const char* kName = "Fake modem";

  std::vector<std::string> log;
  std::vector<DWORD> devcaps_sizes;  // dwTotalSize of each devcaps query
  std::vector<DWORD> id_sizes;       // dwTotalSize of each lineGetID
  LINECALLPARAMS last_params{};
  std::string last_params_number;
  LineEventSink sink;

  LONG Next(const std::string& op) {
    log.push_back(op);
    auto& queue = results[op];
    if (queue.empty()) return 0;
    const LONG r = queue.front();
    queue.pop_front();
    return r;
  }
  void Emit(DWORD device, DWORD msg, DWORD p1, DWORD p2 = 0) { sink(device, msg, p1, p2, 0); }

  LONG Initialize(DWORD* n) override {
    const LONG r = Next("lineInitialize");
    if (r == 0) *n = num_devs;
    return r;
  }
  LONG NegotiateAPIVersion(DWORD device, DWORD, DWORD high, DWORD* version) override {
    log.push_back("lineNegotiateAPIVersion " + std::to_string(device));
    const auto it = refuse_version.find(device);
    if (it != refuse_version.end()) return it->second;
    *version = high;
    return 0;
  }
  LONG GetDevCaps(DWORD, DWORD, LINEDEVCAPS* caps) override {
    devcaps_sizes.push_back(caps->dwTotalSize);
    const LONG r = Next("lineGetDevCaps");
    if (r < 0) return r;
    const DWORD fixed = sizeof(LINEDEVCAPS);
    const DWORD name_size = std::strlen(kName) + 1;
    caps->dwNeededSize = devcaps_needed != 0 ? devcaps_needed : fixed + name_size;
    if (caps->dwTotalSize >= caps->dwNeededSize) {
      std::memcpy(reinterpret_cast<char*>(caps) + fixed, kName, name_size);
      caps->dwLineNameSize = name_size;
      caps->dwLineNameOffset = fixed;
      caps->dwStringFormat = STRINGFORMAT_ASCII;
    }
    caps->dwBearerModes = bearer;
    caps->dwMediaModes = media;
    caps->dwLineFeatures = features;
    return r;
  }
  LONG GetAddressCaps(DWORD, DWORD, DWORD, LINEADDRESSCAPS* caps) override {
    caps->dwNeededSize = sizeof(LINEADDRESSCAPS);
    return Next("lineGetAddressCaps");
  }
  LONG Open(DWORD, DWORD, HLINE* line, LineEventSink s) override {
    const LONG r = Next("lineOpen");
    if (r == 0) *line = kLine, sink = std::move(s);
    return r;
  }
  LONG MakeCall(HLINE, HCALL* call, const char*, const LINECALLPARAMS* params) override {
    const LONG r = Next("lineMakeCall");
    std::memcpy(&last_params, params, sizeof last_params);
    last_params_number = reinterpret_cast<const char*>(params) + 112;
    if (r >= 0) *call = kCall;
    return r;
  }
  LONG GetID(HCALL, const char*, VARSTRING* id, CommHandover*) override {
    id_sizes.push_back(id->dwTotalSize);
    const LONG r = Next("lineGetID");
    if (r < 0) return r;
    id->dwNeededSize = id_needed != 0 ? id_needed : sizeof(VARSTRING) + 4;
    if (id->dwTotalSize >= id->dwNeededSize) {
      id->dwStringSize = 4;
      id->dwStringOffset = sizeof(VARSTRING);
      std::memcpy(reinterpret_cast<char*>(id) + sizeof(VARSTRING), &comm_handle, 4);
    }
    return r;
  }
  LONG GetCallStatus(HCALL, LINECALLSTATUS* status) override {
    status->dwCallState = call_state;
    return Next("lineGetCallStatus");
  }
  LONG Drop(HCALL) override { return Next("lineDrop"); }
  LONG DeallocateCall(HCALL) override { return Next("lineDeallocateCall"); }
  LONG Close(HLINE) override { return Next("lineClose"); }
  LONG Shutdown() override { return Next("lineShutdown"); }
};

}  // namespace zentrel::test
