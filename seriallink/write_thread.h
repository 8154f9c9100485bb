// The write thread: the only writer to the device. It takes the blocks that
// PostWrite queued, oldest first, writes each one whole (a partial write goes
// on from the first unwritten byte), releases its buffer, and ends when the
// close event is set or a write fails.
#pragma once

#include <cstdint>
#include <memory>

#include "seriallink/link_core.h"

namespace zentrel {

class WriteThread {
 public:
  WriteThread(std::shared_ptr<LinkCore> core, LinkThread& self);
  int WriteThreadProc();
  // 1 when all `length` bytes have gone out, 0 when the thread must end.
  int WriteBlock(const char* data, std::uint32_t length);

 private:
  void ExitSteps();
  // Waits (idle) for a message or the close; false when the thread must end.
  bool WaitForMessage();

  std::shared_ptr<LinkCore> core_;
  LinkThread& self_;
  std::shared_ptr<ICommDevice> device_;
  std::shared_ptr<CloseEvent> close_;
  std::shared_ptr<WriteQueue> queue_;
};

}  // namespace zentrel
