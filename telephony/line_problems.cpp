// The process-wide list of line problems; see line_problems.h.
#include "telephony/line_problems.h"

#include <mutex>

#include "seriallink/trace.h"

namespace zentrel {
namespace {

std::mutex g_mutex;
std::vector<std::string> g_problems;

}  // namespace

void NoteLineProblem(const std::string& text) {
  OutputDebugStringA("Line problem: " + text + "\n");
  std::lock_guard lock(g_mutex);
  g_problems.push_back(text);
}

std::vector<std::string> TakeLineProblems() {
  std::lock_guard lock(g_mutex);
  std::vector<std::string> taken;
  taken.swap(g_problems);
  return taken;
}

}  // namespace zentrel
