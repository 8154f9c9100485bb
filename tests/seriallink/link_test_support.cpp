// The recording view and trace recorder of the link tests.
#include "link_test_support.h"

#include <algorithm>

namespace zentrel::test {

int RecordingView::ProcessReceivedData(const char* text, std::uint32_t length) {
  std::unique_lock lock(mutex_);
  blocks_.emplace_back(text, length);
  bytes_ += length;
  if (text[length] != '\0') nul_terminated_ = false;
  entered_ = true;
  cv_.notify_all();
  cv_.wait(lock, [this] { return !hold_; });
  return result.load();
}

std::vector<std::string> RecordingView::Blocks() const {
  std::lock_guard lock(mutex_);
  return blocks_;
}

bool RecordingView::WaitBlocks(std::size_t count) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, kGuard, [&] { return blocks_.size() >= count; });
}

bool RecordingView::WaitBytes(std::size_t total) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, kGuard, [&] { return bytes_ >= total; });
}

bool RecordingView::AllNulTerminated() const {
  std::lock_guard lock(mutex_);
  return nul_terminated_;
}

void RecordingView::HoldHandler() {
  std::lock_guard lock(mutex_);
  hold_ = true;
}

bool RecordingView::WaitHandlerEntered() const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, kGuard, [&] { return entered_; });
}

void RecordingView::ReleaseHandler() {
  std::lock_guard lock(mutex_);
  hold_ = false;
  cv_.notify_all();
}

TraceRecorder::TraceRecorder() : state_(std::make_shared<State>()) {
  std::shared_ptr<State> s = state_;
  previous_ = SetTraceSink([s](std::string_view text) {
    std::lock_guard lock(s->mutex);
    s->lines.emplace_back(text);
    s->cv.notify_all();
  });
}

TraceRecorder::~TraceRecorder() { SetTraceSink(std::move(previous_)); }

std::vector<std::string> TraceRecorder::Lines() const {
  std::lock_guard lock(state_->mutex);
  return state_->lines;
}

bool TraceRecorder::Contains(const std::string& text) const {
  const auto lines = Lines();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

bool TraceRecorder::WaitFor(const std::string& text) const {
  std::unique_lock lock(state_->mutex);
  return state_->cv.wait_for(lock, kGuard, [&] {
    return std::find(state_->lines.begin(), state_->lines.end(), text) != state_->lines.end();
  });
}

bool TraceRecorder::InOrder(const std::vector<std::string>& texts) const {
  const auto lines = Lines();
  auto at = lines.begin();
  for (const auto& t : texts) {
    at = std::find(at, lines.end(), t);
    if (at == lines.end()) return false;
    ++at;
  }
  return true;
}

}  // namespace zentrel::test
