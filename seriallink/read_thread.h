// The read thread: the only reader of the device. It keeps one read and one
// line-error wait pending, hands each block (ended by the inter-byte silence,
// at most 2048 bytes) and each line-error report to the view's
// ProcessReceivedData, and ends on the close event or on a failure, which it
// reports with ReportLinkFailure.
#pragma once

#include <cstdint>
#include <memory>

#include "seriallink/link_core.h"

namespace zentrel {

inline constexpr std::uint32_t kReadBufferSize = 2048;

class ReadThread {
 public:
  ReadThread(std::shared_ptr<LinkCore> core, LinkThread& self);
  int ReadThreadProc();
  int StartRead();
  int FinishRead();
  int DeliverBlock(const char* bytes, std::uint32_t n);
  int StartErrorWait();
  int ReportLineError(bool after_pending_wait);

 private:
  bool Run();  // steps up to the loop's end; false when a failure ends it
  void ExitSteps();
  int CallView(const char* text, std::uint32_t n);

  std::shared_ptr<LinkCore> core_;
  LinkThread& self_;
  std::shared_ptr<ICommDevice> device_;
  std::shared_ptr<CloseEvent> close_;
  std::uint32_t event_mask_ = 0;
  char buffer_[kReadBufferSize] = {};
};

}  // namespace zentrel
