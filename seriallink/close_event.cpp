// eventfd counter never read back: once written it stays readable for good.
#include "seriallink/close_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zentrel {

std::shared_ptr<CloseEvent> CloseEvent::Create() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return nullptr;
  return std::shared_ptr<CloseEvent>(new CloseEvent(fd));
}

CloseEvent::~CloseEvent() { close(fd_); }

void CloseEvent::Set() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
}

bool CloseEvent::IsSet() const {
  pollfd p{fd_, POLLIN, 0};
  // A failed test counts as set, as a failed wait would.
  return poll(&p, 1, 0) != 0;
}

}  // namespace zentrel
