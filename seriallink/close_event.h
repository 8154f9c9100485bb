// The link's close event: a manual-reset event over an eventfd. Set once, it
// stays set, so one setting reaches both link threads, and its descriptor can
// be polled together with the device or the write queue.
#pragma once

#include <memory>

namespace zentrel {

class CloseEvent {
 public:
  // Null when no eventfd can be had.
  static std::shared_ptr<CloseEvent> Create();
  ~CloseEvent();
  CloseEvent(const CloseEvent&) = delete;
  CloseEvent& operator=(const CloseEvent&) = delete;

  void Set();
  bool IsSet() const;  // a test without waiting
  int fd() const { return fd_; }

 private:
  explicit CloseEvent(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace zentrel
