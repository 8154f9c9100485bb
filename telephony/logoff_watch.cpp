// Sequences are matched across chunks by keeping, per direction, the last
// bytes that could begin one. The eventfd is only a wake-up; the state is
// read under the mutex.
#include "telephony/logoff_watch.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "seriallink/eventfd_signal.h"
#include "tap/control_bytes.h"

namespace zentrel {
namespace {

// True when `sequence` occurs in `*tail` followed by `bytes`; *tail becomes
// the last bytes, as many as a match across the next chunk could need.
bool Seen(std::string_view bytes, std::string_view sequence, std::string* tail) {
  tail->append(bytes);
  const bool found = tail->find(sequence) != std::string::npos;
  tail->erase(0, tail->size() - std::min(tail->size(), sequence.size() - 1));
  return found;
}

}  // namespace

std::shared_ptr<LogoffWatch> LogoffWatch::Create(std::chrono::milliseconds grace) {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return nullptr;
  return std::shared_ptr<LogoffWatch>(new LogoffWatch(fd, grace));
}

LogoffWatch::~LogoffWatch() { close(fd_); }

void LogoffWatch::Sent(std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    if (!Seen(bytes, tap::kLogOff, &sent_tail_) || logoff_at_) return;
    logoff_at_ = Clock::now();
  }
  Wake();
}

void LogoffWatch::Received(std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    if (!Seen(bytes, tap::kGoodbye, &received_tail_) || goodbye_) return;
    goodbye_ = true;
  }
  Wake();
}

void LogoffWatch::Wake() { RaiseEventFd(fd_); }

LogoffWatch::Verdict LogoffWatch::Due(Clock::time_point now, int* wait_ms) {
  LowerEventFd(fd_);
  std::lock_guard lock(mutex_);
  *wait_ms = -1;
  if (goodbye_) return Verdict::kGoodbye;
  if (!logoff_at_) return Verdict::kGoOn;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*logoff_at_ + grace_ - now);
  if (left.count() <= 0) return Verdict::kNoAnswer;
  *wait_ms = static_cast<int>(left.count());
  return Verdict::kGoOn;
}

}  // namespace zentrel
