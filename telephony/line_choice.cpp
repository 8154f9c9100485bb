// ChooseLine: the configured driver checks each line in turn (its problems
// taken as they are noted); the driver handed on answers the line service's
// questions from that one round of checks.
#include "telephony/line_choice.h"

#include <algorithm>

namespace zentrel {
namespace {

constexpr DWORD kVersionLow = 0x10003;
constexpr DWORD kVersionHigh = 0x10004;

// The configured driver after its checks: the devices before `chosen` are
// passed over again with their problems, `chosen` is agreed without a new
// check, and everything else is the configured driver's.
class ChosenLineDriver : public ILineDriver {
 public:
  ChosenLineDriver(std::shared_ptr<ConfiguredLineDriver> inner, DWORD count, DWORD chosen,
                   std::vector<std::vector<LineProblem>> problems)
      : inner_(std::move(inner)), count_(count), chosen_(chosen), problems_(std::move(problems)) {}

  LONG Initialize(DWORD* num_devs) override {
    *num_devs = count_;
    return 0;
  }
  LONG NegotiateAPIVersion(DWORD device, DWORD low, DWORD high, DWORD* version) override {
    if (device >= count_) return LINEERR_BADDEVICEID;
    if (low > kVersionHigh || high < kVersionLow) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (device != chosen_) {
      if (device < problems_.size())
        for (const LineProblem& problem : problems_[device]) NoteLineProblem(problem);
      return LINEERR_NODEVICE;
    }
    *version = std::min(high, kVersionHigh);
    return 0;
  }
  LONG GetDevCaps(DWORD device, DWORD version, LINEDEVCAPS* caps) override {
    return inner_->GetDevCaps(device, version, caps);
  }
  LONG GetAddressCaps(DWORD device, DWORD address, DWORD version, LINEADDRESSCAPS* caps) override {
    return inner_->GetAddressCaps(device, address, version, caps);
  }
  LONG Open(DWORD device, DWORD version, HLINE* line, LineEventSink sink) override {
    return inner_->Open(device, version, line, std::move(sink));
  }
  LONG MakeCall(HLINE line, HCALL* call, const char* destination,
                const LINECALLPARAMS* params) override {
    return inner_->MakeCall(line, call, destination, params);
  }
  LONG GetID(HCALL call, const char* device_class, VARSTRING* id, CommHandover* with) override {
    return inner_->GetID(call, device_class, id, with);
  }
  LONG GetCallStatus(HCALL call, LINECALLSTATUS* status) override {
    return inner_->GetCallStatus(call, status);
  }
  LONG Drop(HCALL call) override { return inner_->Drop(call); }
  LONG DeallocateCall(HCALL call) override { return inner_->DeallocateCall(call); }
  LONG Close(HLINE line) override { return inner_->Close(line); }
  LONG Shutdown() override { return inner_->Shutdown(); }

 private:
  std::shared_ptr<ConfiguredLineDriver> inner_;
  const DWORD count_;
  const DWORD chosen_;  // count_ when no line is usable
  const std::vector<std::vector<LineProblem>> problems_;
};

bool HasPagesLine(const LinesConfig& config) {
  return std::any_of(config.lines.begin(), config.lines.end(),
                     [](const LineConfig& line) { return line.kind->carries_pages; });
}

}  // namespace

LineChoice ChooseLine(ConfigPathFn config_path, LineSettings settings) {
  LineChoice choice;
  const LinesConfig config = LoadLinesConfig(config_path());
  if (!config.error.empty() || !HasPagesLine(config)) return choice;
  auto inner = std::make_shared<ConfiguredLineDriver>(config_path, settings);
  const std::vector<LineProblem> earlier = TakeLineProblems();
  DWORD count = 0;
  if (inner->Initialize(&count) != 0) {
    for (const LineProblem& problem : TakeLineProblems()) NoteLineProblem(problem);
    return choice;
  }
  std::vector<std::vector<LineProblem>> problems;
  DWORD chosen = count;
  for (DWORD device = 0; device < count && chosen == count; ++device) {
    DWORD version = 0;
    if (inner->NegotiateAPIVersion(device, kVersionLow, kVersionHigh, &version) == 0)
      chosen = device;
    problems.push_back(TakeLineProblems());
  }
  for (const LineProblem& problem : earlier) NoteLineProblem(problem);
  choice.made = true;
  if (chosen < config.lines.size() && config.lines[chosen].kind->carries_pages) {
    choice.carries_pages = true;
    choice.line = config.lines[chosen];
    for (auto& of_line : problems)
      for (LineProblem& problem : of_line) choice.skipped.push_back(std::move(problem));
    inner->Shutdown();
    return choice;
  }
  choice.driver =
      std::make_shared<ChosenLineDriver>(std::move(inner), count, chosen, std::move(problems));
  return choice;
}

}  // namespace zentrel
