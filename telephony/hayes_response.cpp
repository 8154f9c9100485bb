// Parsing of modem answers: a fixed table of verbose and numeric result
// codes, CONNECT with a rate (numeric 1, 5, 9 and 10 up are connections at
// some rate), echo of our own AT commands. The splitter is a small state
// machine over single bytes (after CR or not).
#include "telephony/hayes_response.h"

#include <array>

namespace zentrel {
namespace {

struct Code {
  std::string_view verbal;
  std::string_view numeric;
  HayesKind kind;
};

constexpr std::array<Code, 12> kCodes{{
    {"OK", "0", HayesKind::kOk},
    {"CONNECT", "1", HayesKind::kConnect},
    {"RING", "2", HayesKind::kRing},
    {"NO CARRIER", "3", HayesKind::kNoCarrier},
    {"ERROR", "4", HayesKind::kError},
    {"NO DIALTONE", "6", HayesKind::kNoDialtone},
    {"NO DIAL TONE", "", HayesKind::kNoDialtone},
    {"BUSY", "7", HayesKind::kBusy},
    {"NO ANSWER", "8", HayesKind::kNoAnswer},
    {"DELAYED", "", HayesKind::kDelayed},
    {"BLACKLISTED", "", HayesKind::kBlacklisted},
    {"VOICE", "", HayesKind::kVoice},
}};

// Numeric CONNECT codes other than 1: 5 (1200), 9 (600), 10 and up.
std::optional<std::string> NumericConnect(std::string_view line) {
  if (line.empty() || line.size() > 3) return std::nullopt;
  int code = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return std::nullopt;
    code = code * 10 + (c - '0');
  }
  if (code == 5) return "1200";
  if (code == 9) return "600";
  if (code == 10) return "2400";
  if (code > 10) return "code " + std::to_string(code);
  return std::nullopt;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

HayesResponse ParseHayesLine(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty()) return {HayesKind::kEmpty, {}};
  if (line.size() >= 2 && (line[0] == 'A' || line[0] == 'a') && (line[1] == 'T' || line[1] == 't'))
    return {HayesKind::kEcho, {}};
  for (const Code& code : kCodes) {
    if (line == code.verbal || (!code.numeric.empty() && line == code.numeric))
      return {code.kind, {}};
  }
  if (auto rate = NumericConnect(line)) return {HayesKind::kConnect, *rate};
  constexpr std::string_view kConnect = "CONNECT ";
  if (line.substr(0, kConnect.size()) == kConnect) {
    return {HayesKind::kConnect, std::string(TrimBlanks(line.substr(kConnect.size())))};
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
    case HayesKind::kDelayed: return "DELAYED";
    case HayesKind::kBlacklisted: return "BLACKLISTED";
    case HayesKind::kVoice: return "VOICE";
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
