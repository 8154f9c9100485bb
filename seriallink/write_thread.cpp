// The write thread's loop and WriteBlock. The close event has priority over
// queued blocks: it is tested before each message is handled, and a pending
// write is waited for together with it. Blocks dropped unwritten are released.
#include "seriallink/write_thread.h"

#include <cstdio>

#include "seriallink/local_heap.h"
#include "seriallink/trace.h"

namespace zentrel {

WriteThread::WriteThread(std::shared_ptr<LinkCore> core, LinkThread& self)
    : core_(std::move(core)),
      self_(self),
      device_(core_->Device()),
      close_(core_->Close()),
      queue_(core_->Queue()) {}

int WriteThread::WriteThreadProc() {
  if (!device_ || !close_ || !queue_) {
    core_->ReportLinkFailure(&self_);
    ExitSteps();
    return 0;
  }
  for (;;) {
    std::optional<ThreadMessage> m = queue_->TryTake();
    if (!m) {
      if (!WaitForMessage()) break;
      continue;
    }
    if (close_->IsSet()) {
      if (m->message == WM_COMM_WRITE) LocalFree(m->lParam);
      break;
    }
    if (m->message == WM_COMM_WRITE) {
      OutputDebugStringA("Writing to comm port\n");
      const int written = WriteBlock(m->lParam, m->wParam);
      LocalFree(m->lParam);
      if (written == 0) break;
      continue;
    }
    char line[256];
    std::snprintf(line, sizeof line, "Unexpected message posted to Write thread: %ui\n",
                  m->message);
    OutputDebugStringA(line);
  }
  ExitSteps();
  return 0;
}

bool WriteThread::WaitForMessage() {
  switch (WaitForCloseOrMessage(*close_, *queue_)) {
    case QueueWait::kClose: OutputDebugStringA("close event signaled\n"); return false;
    case QueueWait::kMessage: OutputDebugStringA("message\n"); return true;
    case QueueWait::kFailed: break;
  }
  OutputDebugStringA("Wait failed\n");
  core_->ReportLinkFailure(&self_);
  return false;
}

int WriteThread::WriteBlock(const char* data, std::uint32_t length) {
  std::uint32_t offset = 0;
  std::uint32_t count = length;
  for (;;) {
    std::uint32_t written = 0;
    IoStatus status = device_->StartWrite(data + offset, count, &written);
    if (status == IoStatus::kPending) {
      const WriteWait w = device_->WaitWrite(*close_);
      if (w == WriteWait::kClose) return 0;  // the closing step's purge ends the write
      if (w != WriteWait::kWriteDone) {
        core_->ReportLinkFailure(&self_);
        return 0;
      }
      status = device_->WriteResult(&written);
    }
    if (status == IoStatus::kInvalidHandle) {
      OutputDebugStringA(kInvalidHandleText);
      return 0;
    }
    if (status != IoStatus::kDone) {
      core_->ReportLinkFailure(&self_);
      return 0;
    }
    if (written > count) written = count;
    count -= written;
    offset += written;
    if (count == 0) return 1;
  }
}

void WriteThread::ExitSteps() {
  OutputDebugStringA("Write thread shutting down\n");
  if (device_) device_->PurgeTx();
  core_->EndWriteThread(&self_, queue_.get());
}

}  // namespace zentrel
