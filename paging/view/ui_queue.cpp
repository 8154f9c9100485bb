// The UI-thread work queue. Each post adds one drain call; a drain runs what
// is queued at that moment, one item at a time without holding the lock, so
// work may post more work.
#include "paging/view/ui_queue.h"

namespace zentrel {

void UiQueue::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
  }
  QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void UiQueue::Drain() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return;
      work = std::move(pending_.front());
      pending_.pop_front();
    }
    work();
  }
}

}  // namespace zentrel
