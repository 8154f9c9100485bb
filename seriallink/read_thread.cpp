// The read thread's loop and its steps. Close wins over a line error, which
// wins over a read completed at the same moment. Every delivered block and
// report is a fresh zero-filled buffer that this thread releases once the
// view's handler has returned. An abandoned thread calls nobody any more.
#include "seriallink/read_thread.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "seriallink/line_errors.h"
#include "seriallink/local_heap.h"
#include "seriallink/trace.h"

namespace zentrel {
namespace {

struct LocalDeleter {
  void operator()(char* p) const { LocalFree(p); }
};
using LocalBuffer = std::unique_ptr<char[], LocalDeleter>;

}  // namespace

ReadThread::ReadThread(std::shared_ptr<LinkCore> core, LinkThread& self)
    : core_(std::move(core)), self_(self), device_(core_->Device()), close_(core_->Close()) {}

int ReadThread::ReadThreadProc() {
  if (!Run()) core_->ReportLinkFailure(&self_);
  ExitSteps();
  return 0;
}

bool ReadThread::Run() {
  if (!device_ || !close_) return false;
  if (!device_->SetEventMask(EV_ERR)) return false;
  if (StartErrorWait() == 0) return false;
  if (StartRead() == 0) return false;
  for (;;) {
    switch (device_->WaitReadSide(*close_)) {
      case ReadWait::kClose: return true;
      case ReadWait::kLineError:
        if (ReportLineError(true) == 0 || StartErrorWait() == 0) return false;
        break;
      case ReadWait::kRead:
        if (FinishRead() == 0 || StartRead() == 0) return false;
        break;
      case ReadWait::kFailed: return false;
    }
  }
}

void ReadThread::ExitSteps() {
  OutputDebugStringA("Read thread shutting down\n");
  if (device_) device_->PurgeRx();
  core_->ClearThreadIf(LinkSide::kRead, &self_);
}

int ReadThread::StartRead() {
  for (;;) {
    if (close_->IsSet()) return 0;
    std::uint32_t count = 0;
    switch (device_->StartRead(buffer_, kReadBufferSize, &count)) {
      case IoStatus::kDone:
        OutputDebugStringA("Data waiting for ReadFile.\n");
        if (DeliverBlock(buffer_, count) == 0) return 0;
        break;
      case IoStatus::kPending:
        OutputDebugStringA("Waiting for data from comm connection.\n");
        return 1;
      case IoStatus::kInvalidHandle: OutputDebugStringA(kInvalidHandleText); return 0;
      case IoStatus::kFailed: core_->ReportLinkFailure(&self_); return 0;
    }
  }
}

int ReadThread::FinishRead() {
  std::uint32_t count = 0;
  switch (device_->ReadResult(&count)) {
    case IoStatus::kDone: return DeliverBlock(buffer_, count);
    case IoStatus::kInvalidHandle: OutputDebugStringA(kInvalidHandleText); return 0;
    default: core_->ReportLinkFailure(&self_); return 0;
  }
}

int ReadThread::DeliverBlock(const char* bytes, std::uint32_t n) {
  if (n == 0) return 0;  // a read that ends with no bytes ends the thread
  OutputDebugStringA("Got something from Comm port!!!\n");
  LocalBuffer block(LocalAlloc(n + 1));
  if (!block) return 0;
  std::memcpy(block.get(), bytes, n);
  block[n] = '\0';
  return CallView(block.get(), n);
}

int ReadThread::StartErrorWait() {
  for (;;) {
    if (close_->IsSet()) return 0;
    switch (device_->StartEventWait(&event_mask_)) {
      case IoStatus::kDone:
        OutputDebugStringA("Event (Error) waiting before WaitCommEvent.\n");
        if (ReportLineError(false) == 0) return 0;
        break;
      case IoStatus::kPending:
        OutputDebugStringA("Waiting for a CommEvent (Error) to occur.\n");
        return 1;
      case IoStatus::kInvalidHandle: OutputDebugStringA(kInvalidHandleText); return 0;
      case IoStatus::kFailed: return 0;
    }
  }
}

int ReadThread::ReportLineError(bool after_pending_wait) {
  if (!core_->HasDevice()) return 0;
  LocalBuffer report(LocalAlloc(256));
  if (!report) return 0;
  if (after_pending_wait) {
    const IoStatus status = device_->EventResult();
    if (status != IoStatus::kDone) {
      if (status == IoStatus::kInvalidHandle) OutputDebugStringA(kInvalidHandleText);
      return 0;
    }
  }
  if ((event_mask_ & EV_ERR) == 0) return 0;
  std::uint32_t error_word = 0;
  const IoStatus status = device_->ClearError(&error_word);
  if (status != IoStatus::kDone) {
    if (status == IoStatus::kInvalidHandle) OutputDebugStringA(kInvalidHandleText);
    return 0;
  }
  const std::string words = LineErrorWords(error_word);
  const int n = std::snprintf(report.get(), 256, "Error: '%s'\n", words.c_str());
  return CallView(report.get(), static_cast<std::uint32_t>(n));
}

int ReadThread::CallView(const char* text, std::uint32_t n) {
  if (self_.Abandoned()) return 0;
  return core_->view().ProcessReceivedData(text, n);
}

}  // namespace zentrel
