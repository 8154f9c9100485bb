// The process-wide dispatcher slot and the hand-pumped queue. The slot is
// an atomic pointer, so drivers' threads may post while the program swaps
// it; the queue is a mutex-guarded deque that its owner drains.
#include "telephony/event_dispatch.h"

#include <atomic>

#include "seriallink/trace.h"

namespace zentrel {
namespace {
std::atomic<IEventDispatcher*> g_dispatcher{nullptr};
}  // namespace

IEventDispatcher* SetEventDispatcher(IEventDispatcher* dispatcher) {
  return g_dispatcher.exchange(dispatcher);
}

void PostLineEvent(IEventDispatcher* own, std::function<void()> event) {
  IEventDispatcher* dispatcher = own != nullptr ? own : g_dispatcher.load();
  if (dispatcher == nullptr) {
    OutputDebugStringA("Line service: no event dispatcher, event dropped\n");
    return;
  }
  dispatcher->Post(std::move(event));
}

void PumpedQueue::Post(std::function<void()> event) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(event));
  }
  ready_.notify_one();
}

int PumpedQueue::RunPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(queue_);
  }
  for (auto& event : batch) event();
  return static_cast<int>(batch.size());
}

bool PumpedQueue::RunOne(std::chrono::milliseconds max_wait) {
  std::function<void()> event;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ready_.wait_for(lock, max_wait, [this] { return !queue_.empty(); })) return false;
    event = std::move(queue_.front());
    queue_.pop_front();
  }
  event();
  return true;
}

}  // namespace zentrel
