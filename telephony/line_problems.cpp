// The process-wide list of line problems, and how one reads; see
// line_problems.h.
#include "telephony/line_problems.h"

#include <mutex>

#include "seriallink/trace.h"

namespace zentrel {
namespace {

std::mutex g_mutex;
std::vector<LineProblem> g_problems;

}  // namespace

const char* LineProblemWord(LineProblemKind kind) {
  switch (kind) {
    case LineProblemKind::kNoDeviceList: return "no-device-list";
    case LineProblemKind::kMissingPort: return "missing-port";
    case LineProblemKind::kNotSerialPort: return "not-serial-port";
    case LineProblemKind::kPermission: return "permission";
    case LineProblemKind::kHeld: return "held";
    case LineProblemKind::kNoAnswer: return "no-answer";
    case LineProblemKind::kBadAnswer: return "bad-answer";
    case LineProblemKind::kTlsUntrusted: return "tls-untrusted";
    case LineProblemKind::kTlsWrongName: return "tls-wrong-name";
    case LineProblemKind::kTlsVersion: return "tls-version";
    case LineProblemKind::kTlsFailed: return "tls-failed";
    case LineProblemKind::kRefused: return "refused";
    case LineProblemKind::kUnreachable: return "unreachable";
    case LineProblemKind::kBadNumber: return "bad-number";
    case LineProblemKind::kHangUpUnconfirmed: return "hang-up-unconfirmed";
    case LineProblemKind::kDialAnswer: return "dial-answer";
    case LineProblemKind::kOther: break;
  }
  return "other";
}

std::string LineProblem::Text() const {
  if (line.empty()) return cause;
  return line + (skipped ? " skipped: " : ": ") + cause;
}

LineProblem MakeLineProblem(LineProblemKind kind, std::string cause) {
  LineProblem problem;
  problem.kind = kind;
  problem.cause = std::move(cause);
  return problem;
}

void NoteLineProblem(LineProblem problem) {
  OutputDebugStringA("Line problem: " + problem.Text() + "\n");
  std::lock_guard lock(g_mutex);
  g_problems.push_back(std::move(problem));
}

void NoteLineProblem(const std::string& text) {
  NoteLineProblem(MakeLineProblem(LineProblemKind::kOther, text));
}

std::vector<LineProblem> TakeLineProblems() {
  std::lock_guard lock(g_mutex);
  std::vector<LineProblem> taken;
  taken.swap(g_problems);
  return taken;
}

}  // namespace zentrel
