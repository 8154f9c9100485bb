// The diagnostic trace: a mutex serialises writers so that texts written from
// the UI, read and write threads never interleave. A call's sink is carried
// per thread, so no thread swaps another's.
#include "seriallink/trace.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace zentrel {
namespace {

std::mutex& TraceMutex() {
  static std::mutex m;
  return m;
}

TraceSink& CurrentSink() {
  static TraceSink sink;
  return sink;
}

thread_local CallTraceSink t_call_sink;

}  // namespace

CallTraceSink ThreadTraceSink() { return t_call_sink; }

TraceScope::TraceScope(CallTraceSink sink) : previous_(std::move(t_call_sink)) {
  t_call_sink = std::move(sink);
}

TraceScope::~TraceScope() { t_call_sink = std::move(previous_); }

std::function<void()> WithThisTrace(std::function<void()> body) {
  return [sink = ThreadTraceSink(), body = std::move(body)] {
    const TraceScope scope(sink);
    body();
  };
}

void OutputDebugStringA(std::string_view text) {
  std::lock_guard lock(TraceMutex());
  if (t_call_sink && *t_call_sink) {
    (*t_call_sink)(text);
    return;
  }
  if (CurrentSink()) {
    CurrentSink()(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

TraceSink SetTraceSink(TraceSink sink) {
  std::lock_guard lock(TraceMutex());
  TraceSink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

struct TraceCapture::State {
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

TraceCapture::TraceCapture() : state_(new State) {
  State* s = state_;
  previous_ = SetTraceSink([s](std::string_view text) {
    std::lock_guard lock(s->mutex);
    s->lines.emplace_back(text);
  });
}

TraceCapture::~TraceCapture() {
  SetTraceSink(std::move(previous_));
  delete state_;
}

std::vector<std::string> TraceCapture::Lines() const {
  std::lock_guard lock(state_->mutex);
  return state_->lines;
}

bool TraceCapture::Contains(std::string_view text) const {
  std::lock_guard lock(state_->mutex);
  return std::any_of(state_->lines.begin(), state_->lines.end(),
                     [&](const std::string& l) { return l == text; });
}

void TraceCapture::Clear() {
  std::lock_guard lock(state_->mutex);
  state_->lines.clear();
}

}  // namespace zentrel
