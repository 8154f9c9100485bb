// Byte pairs are matched across chunks by keeping the last byte of each
// direction. The eventfd is only a wake-up; the state is read under the mutex.
#include "telephony/logoff_watch.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "seriallink/eventfd_signal.h"

namespace zentrel {
namespace {

constexpr char kEot = 0x04;
constexpr char kEsc = 0x1B;
constexpr char kCr = 0x0D;

// True when `first` followed by `second` occurs in `bytes`, with `*last`
// the byte before them; *last becomes the final byte.
bool Pair(std::string_view bytes, char first, char second, char* last) {
  bool found = false;
  for (char c : bytes) {
    if (*last == first && c == second) found = true;
    *last = c;
  }
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
    if (!Pair(bytes, kEot, kCr, &last_sent_) || logoff_at_) return;
    logoff_at_ = Clock::now();
  }
  Wake();
}

void LogoffWatch::Received(std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    if (!Pair(bytes, kEsc, kEot, &last_received_) || goodbye_) return;
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
