// Construction, Attach, Stop, the thread-closing steps, PostWrite and
// ReportLinkFailure. Attach and Stop run on the UI thread; Stop may also be
// reached on a link thread through ReportLinkFailure, and then neither waits
// for nor abandons that thread. A lifecycle state (detached, attached,
// stopping) makes a second, concurrent Stop return at once.
#include "seriallink/comm_link.h"

#include <string>

#include "seriallink/read_thread.h"
#include "seriallink/trace.h"
#include "seriallink/write_thread.h"

namespace zentrel {

std::atomic<CCommLink*> g_pCommLink{nullptr};

CCommLink::CCommLink(ILinkView& view, LinkTimings timings, ICommPlatform& platform)
    : core_(std::make_shared<LinkCore>(view, timings)), platform_(platform) {
  g_pCommLink.store(this);
}

CCommLink::~CCommLink() {
  Stop();
  std::vector<std::shared_ptr<LinkThread>> started;
  {
    std::lock_guard lock(started_mutex_);
    started.swap(started_);
  }
  for (const auto& t : started) {
    if (!t->Abandoned()) t->Join(core_->timings().thread_close_wait);
  }
  CCommLink* self = this;
  g_pCommLink.compare_exchange_strong(self, nullptr);
}

int CCommLink::Attach(int comm_handle, const CommHandover& with) {
  if (!platform_.IsCommHandle(comm_handle)) {
    OutputDebugStringA("File handle is not a comm handle.\n");
    return 0;
  }
  State expected = State::kDetached;
  if (!state_.compare_exchange_strong(expected, State::kAttached)) {
    OutputDebugStringA("Already have a comm file open\n");
    return 0;
  }
  std::shared_ptr<ICommDevice> device = platform_.Open(comm_handle, with);
  if (!device) {
    OutputDebugStringA("Attach: no wake-up event for the device\n");
    state_.store(State::kDetached);
    return 0;
  }
  // A port that refuses the line's settings would garble every byte.
  std::string error;
  const auto silence =
      core_->view().FramesAnswers() ? std::chrono::milliseconds(0) : core_->timings().read_silence;
  if (!device->Configure(silence, &error)) {
    OutputDebugStringA("Attach: cannot set up the port: " + error + "\n");
    return FailAttach(*device);
  }
  std::shared_ptr<CloseEvent> close = CloseEvent::Create();
  std::shared_ptr<WriteQueue> queue = WriteQueue::Create();
  if (!close || !queue) {
    OutputDebugStringA("Attach: no close event or write queue\n");
    return FailAttach(*device);
  }
  core_->SetChannel(device, close, queue);
  if (!StartThread(LinkSide::kRead)) return FailAttach(*device);
  if (!StartThread(LinkSide::kWrite)) {
    CloseReadThread();
    return FailAttach(*device);
  }
  core_->view().OnLinkUp();
  return 1;
}

int CCommLink::FailAttach(ICommDevice& device) {
  device.Disown();  // the caller keeps the descriptor
  core_->ClearChannel();
  state_.store(State::kDetached);
  return 0;
}

bool CCommLink::StartThread(LinkSide side) {
  std::shared_ptr<LinkCore> core = core_;
  std::shared_ptr<LinkThread> thread = LinkThread::Create();
  // In its slot before it runs, so that its own exit steps find it there.
  core_->SetThread(side, thread);
  bool running = false;
  if (side == LinkSide::kRead) {
    running = thread->Run(ThreadPriority::kHighest,
                          [core](LinkThread& self) { ReadThread(core, self).ReadThreadProc(); });
  } else {
    running = thread->Run(ThreadPriority::kAboveNormal,
                          [core](LinkThread& self) { WriteThread(core, self).WriteThreadProc(); });
  }
  if (!running) {
    core_->ClearThreadIf(side, thread.get());
    return false;
  }
  std::lock_guard lock(started_mutex_);
  started_.push_back(thread);
  (side == LinkSide::kRead ? last_read_ : last_write_) = thread;
  return true;
}

void CCommLink::Stop() {
  State expected = State::kAttached;
  if (!state_.compare_exchange_strong(expected, State::kStopping)) return;
  OutputDebugStringA("Stopping the Comm\n");
  CloseReadThread();
  CloseWriteThread();
  if (std::shared_ptr<WriteQueue> queue = core_->Queue()) queue->Close();
  if (std::shared_ptr<ICommDevice> device = core_->Device()) device->Close();
  core_->ClearChannel();
  state_.store(State::kDetached);
}

void CCommLink::CloseReadThread() { CloseThread(LinkSide::kRead); }
void CCommLink::CloseWriteThread() { CloseThread(LinkSide::kWrite); }

void CCommLink::CloseThread(LinkSide side) {
  const bool read = side == LinkSide::kRead;
  std::shared_ptr<LinkThread> thread = core_->Thread(side);
  if (!thread) return;
  OutputDebugStringA(read ? "Closing Read Thread\n" : "Closing Write Thread\n");
  // The event before the purge: a thread woken by the purge finds the close.
  if (std::shared_ptr<CloseEvent> close = core_->Close()) close->Set();
  if (std::shared_ptr<ICommDevice> device = core_->Device()) {
    read ? device->PurgeRx() : device->PurgeTx();
  }
  // Reached on this very thread (a link failure that led here): it ends by
  // itself once the failure report returns.
  if (thread->IsCallingThread()) return;
  if (thread->WaitEnded(core_->timings().thread_close_wait)) return;
  OutputDebugStringA(read ? "Read thread not exiting.  Terminating it.\n"
                          : "Write thread not exiting.  Terminating it.\n");
  thread->Abandon();
  core_->ClearThreadIf(side, thread.get());
}

int CCommLink::PostWrite(char* data, std::uint32_t length) {
  switch (core_->PostToWriteThread({WM_COMM_WRITE, length, data})) {
    case PostResult::kPosted: return 1;
    case PostResult::kNoWriteThread: OutputDebugStringA("Write thread not created\n"); return 0;
    case PostResult::kPostFailed: break;
  }
  OutputDebugStringA("Failed to Post to Write thread.\n");
  return 0;
}

int CCommLink::PostThreadMessage(std::uint32_t message, std::uint32_t wParam, char* lParam) {
  return core_->PostToWriteThread({message, wParam, lParam}) == PostResult::kPosted ? 1 : 0;
}

int CCommLink::ReportLinkFailure() { return core_->ReportLinkFailure(nullptr); }

std::shared_ptr<LinkThread> CCommLink::Started(LinkSide side) const {
  std::lock_guard lock(started_mutex_);
  return side == LinkSide::kRead ? last_read_ : last_write_;
}

bool CCommLink::WaitReadThreadEnded(std::chrono::milliseconds limit) {
  std::shared_ptr<LinkThread> t = Started(LinkSide::kRead);
  return !t || t->WaitEnded(limit);
}

bool CCommLink::WaitWriteThreadEnded(std::chrono::milliseconds limit) {
  std::shared_ptr<LinkThread> t = Started(LinkSide::kWrite);
  return !t || t->WaitEnded(limit);
}

}  // namespace zentrel
