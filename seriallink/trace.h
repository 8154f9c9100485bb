// The program's diagnostic trace: the one place every layer writes its
// step-by-step texts ("Attach: ...\n", the readable text of each block).
// Texts are written exactly as given (most end in "\n", a few in the two
// characters "/n"), whole, one at a time across threads. By default they go
// to standard error; a test can install a sink to capture them. A call can
// have a trace of its own: its threads carry its sink (TraceScope), and what
// they write goes there instead of the process's.
#pragma once

#include <functional>
#include <memory>
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

using CallTraceSink = std::shared_ptr<const TraceSink>;

// The sink the calling thread carries (a call's), or null: the process's.
CallTraceSink ThreadTraceSink();

// While it lives, the calling thread's trace goes to `sink` (null: the
// process's); a thread started for the call is given ThreadTraceSink() and
// opens a scope of its own with it. Scopes nest.
class TraceScope {
 public:
  explicit TraceScope(CallTraceSink sink);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  CallTraceSink previous_;
};

// `body` to run on a new thread with the calling thread's trace.
std::function<void()> WithThisTrace(std::function<void()> body);

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
