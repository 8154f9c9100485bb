// The program's diagnostic trace: the one place every layer writes its
// step-by-step texts ("Attach: ...\n", the readable text of each block).
// Texts are written exactly as given (most end in "\n", a few in the two
// characters "/n"), whole, one at a time across threads. By default they go
// to standard error; a test can install a sink to capture them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

// Writes `text` to the trace as one unit.
void OutputDebugStringA(std::string_view text);

using TraceSink = std::function<void(std::string_view)>;

// Replaces where the trace goes; an empty sink restores standard error.
// Returns the sink that was in place.
TraceSink SetTraceSink(TraceSink sink);

// Captures every trace text written while it lives (for tests).
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<std::string> Lines() const;  // each text as written
  bool Contains(std::string_view text) const;
  void Clear();

 private:
  struct State;
  State* state_;
  TraceSink previous_;
};

}  // namespace zentrel
