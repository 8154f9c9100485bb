// Parsing of modem answers: a fixed table of verbal and numeric result
// codes, CONNECT with a rate, echo of our own AT commands. The splitter is
// a small state machine over single bytes (after CR or not).
#include "telephony/hayes_response.h"

#include <array>

namespace zentrel {
namespace {

struct Code {
  std::string_view verbal;
  std::string_view numeric;
  HayesKind kind;
};

constexpr std::array<Code, 8> kCodes{{
    {"OK", "0", HayesKind::kOk},
    {"CONNECT", "1", HayesKind::kConnect},
    {"RING", "2", HayesKind::kRing},
    {"NO CARRIER", "3", HayesKind::kNoCarrier},
    {"ERROR", "4", HayesKind::kError},
    {"NO DIALTONE", "6", HayesKind::kNoDialtone},
    {"BUSY", "7", HayesKind::kBusy},
    {"NO ANSWER", "8", HayesKind::kNoAnswer},
}};

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

HayesResponse ParseHayesLine(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty()) return {HayesKind::kEmpty, {}};
  if (line.size() >= 2 && (line[0] == 'A' || line[0] == 'a') &&
      (line[1] == 'T' || line[1] == 't'))
    return {HayesKind::kEcho, {}};
  for (const Code& code : kCodes) {
    if (line == code.verbal || line == code.numeric) return {code.kind, {}};
  }
  constexpr std::string_view kConnect = "CONNECT ";
  if (line.substr(0, kConnect.size()) == kConnect) {
    return {HayesKind::kConnect,
            std::string(TrimBlanks(line.substr(kConnect.size())))};
  }
  return {HayesKind::kUnknown, {}};
}

const char* HayesKindName(HayesKind kind) {
  switch (kind) {
    case HayesKind::kOk: return "OK";
    case HayesKind::kConnect: return "CONNECT";
    case HayesKind::kRing: return "RING";
    case HayesKind::kNoCarrier: return "NO CARRIER";
    case HayesKind::kError: return "ERROR";
    case HayesKind::kNoDialtone: return "NO DIALTONE";
    case HayesKind::kBusy: return "BUSY";
    case HayesKind::kNoAnswer: return "NO ANSWER";
    case HayesKind::kEcho: return "echo";
    case HayesKind::kEmpty: return "empty";
    case HayesKind::kUnknown: return "unknown";
  }
  return "unknown";
}

std::optional<std::string> HayesLineSplitter::Feed(char byte) {
  if (byte == '\n') return Flush();
  if (byte == '\r') {
    after_cr_ = true;
    return std::nullopt;
  }
  if (after_cr_) {
    // CR not followed by LF: the earlier line ended at the CR.
    std::string done = std::move(partial_);
    partial_.assign(1, byte);
    after_cr_ = false;
    return done;
  }
  partial_.push_back(byte);
  return std::nullopt;
}

std::optional<std::string> HayesLineSplitter::Flush() {
  after_cr_ = false;
  std::string done = std::move(partial_);
  partial_.clear();
  return done;
}

}  // namespace zentrel
