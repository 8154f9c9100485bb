// The shared fields of a link, each read and written under the core's mutex.
#include "seriallink/link_core.h"

namespace zentrel {

std::shared_ptr<ICommDevice> LinkCore::Device() const {
  std::lock_guard lock(mutex_);
  return device_;
}

std::shared_ptr<CloseEvent> LinkCore::Close() const {
  std::lock_guard lock(mutex_);
  return close_;
}

std::shared_ptr<WriteQueue> LinkCore::Queue() const {
  std::lock_guard lock(mutex_);
  return queue_;
}

void LinkCore::SetChannel(std::shared_ptr<ICommDevice> device, std::shared_ptr<CloseEvent> close,
                          std::shared_ptr<WriteQueue> queue) {
  std::lock_guard lock(mutex_);
  device_ = std::move(device);
  close_ = std::move(close);
  queue_ = std::move(queue);
}

void LinkCore::ClearChannel() {
  std::shared_ptr<ICommDevice> device;
  std::shared_ptr<CloseEvent> close;
  std::shared_ptr<WriteQueue> queue;
  {
    std::lock_guard lock(mutex_);
    device.swap(device_);
    close.swap(close_);
    queue.swap(queue_);
  }
  // Released outside the lock: the last owner closes the descriptor.
}

std::shared_ptr<LinkThread> LinkCore::Thread(LinkSide side) const {
  std::lock_guard lock(mutex_);
  return SlotOf(side).handle;
}

std::uint32_t LinkCore::ThreadId(LinkSide side) const {
  std::lock_guard lock(mutex_);
  return SlotOf(side).id;
}

void LinkCore::SetThread(LinkSide side, std::shared_ptr<LinkThread> thread) {
  std::lock_guard lock(mutex_);
  Slot& slot = SlotOf(side);
  slot.id = thread ? thread->id() : 0;
  slot.handle = std::move(thread);
}

void LinkCore::ClearThreadIf(LinkSide side, const LinkThread* thread) {
  std::shared_ptr<LinkThread> released;
  std::lock_guard lock(mutex_);
  Slot& slot = SlotOf(side);
  if (slot.handle.get() != thread) return;
  slot.id = 0;
  released.swap(slot.handle);
}

void LinkCore::EndWriteThread(const LinkThread* thread, WriteQueue* queue) {
  // Under the same lock as PostToWriteThread: a post either lands before the
  // queue closes (and is released with it) or finds no write thread.
  std::lock_guard lock(mutex_);
  Slot& slot = SlotOf(LinkSide::kWrite);
  if (slot.handle.get() == thread) {
    slot.id = 0;
    slot.handle.reset();
  }
  if (queue != nullptr) queue->Close();
}

PostResult LinkCore::PostToWriteThread(const ThreadMessage& m) {
  std::lock_guard lock(mutex_);
  if (!write_.handle) return PostResult::kNoWriteThread;
  if (!queue_ || !queue_->Post(m)) return PostResult::kPostFailed;
  return PostResult::kPosted;
}

int LinkCore::ReportLinkFailure(const LinkThread* caller) {
  if (caller != nullptr && caller->Abandoned()) return 1;
  if (ILinkTelephony* tapi = view_.Tapi()) tapi->UninitTelephony();
  return 1;
}

}  // namespace zentrel
