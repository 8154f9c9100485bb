// Raising and lowering an eventfd used as a wake-up signal: the write queue's
// "not empty" flag and the comm device's purge wake-up. Both ignore the
// result: a failed write means the counter is already raised, a failed read
// that it is already low.
#pragma once

#include <unistd.h>

#include <cstdint>

namespace zentrel {

inline void RaiseEventFd(int fd) {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
}

inline void LowerEventFd(int fd) {
  std::uint64_t value = 0;
  [[maybe_unused]] ssize_t n = read(fd, &value, sizeof value);
}

}  // namespace zentrel
