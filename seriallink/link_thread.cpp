// Threads signal their end through a condition variable, so the closing
// step's wait does not depend on who releases what; the link joins each once
// it has ended, and a thread abandoned or outliving its object is detached.
// Priorities: Linux threads under SCHED_OTHER have a per-thread nice value;
// lowering it (raising priority) needs CAP_SYS_NICE or an RLIMIT_NICE
// allowance, so an unprivileged process normally gets nothing and the threads
// run at the process's own priority. The attempt is made and its failure
// ignored.
#include "seriallink/link_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

#include "seriallink/trace.h"

namespace zentrel {
namespace {

std::atomic<std::uint32_t> g_next_thread_id{1};

void RaiseOwnPriority(ThreadPriority priority) {
  const int nice_value = priority == ThreadPriority::kHighest ? -2 : -1;
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  [[maybe_unused]] int r = setpriority(PRIO_PROCESS, tid, nice_value);
}

}  // namespace

LinkThread::LinkThread() : id_(g_next_thread_id.fetch_add(1)) {}

std::shared_ptr<LinkThread> LinkThread::Create() {
  return std::shared_ptr<LinkThread>(new LinkThread);
}

bool LinkThread::Run(ThreadPriority priority, std::function<void(LinkThread&)> body) {
  std::shared_ptr<LinkThread> self = shared_from_this();
  try {
    // The thread writes its trace where the thread that started it does.
    std::lock_guard lock(mutex_);
    thread_ =
        std::thread([self, priority, trace = ThreadTraceSink(), body = std::move(body)]() mutable {
          const TraceScope scope(trace);
          {
            std::lock_guard lock(self->mutex_);
            self->native_id_ = std::this_thread::get_id();
          }
          RaiseOwnPriority(priority);
          body(*self);
          body = nullptr;  // let go of what the body held before saying "ended"
          self->MarkEnded();
        });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool LinkThread::IsCallingThread() const {
  std::lock_guard lock(mutex_);
  return native_id_ == std::this_thread::get_id();
}

bool LinkThread::WaitEnded(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return ended_cv_.wait_for(lock, limit, [this] { return ended_; });
}

bool LinkThread::Join(std::chrono::milliseconds limit) {
  if (IsCallingThread() || !WaitEnded(limit)) return false;
  std::thread ended;
  {
    std::lock_guard lock(mutex_);
    ended.swap(thread_);
  }
  if (ended.joinable()) ended.join();
  return true;
}

void LinkThread::Abandon() {
  abandoned_.store(true);
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) thread_.detach();
}

LinkThread::~LinkThread() {
  if (thread_.joinable()) thread_.detach();
}

void LinkThread::MarkEnded() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  ended_cv_.notify_all();
}

}  // namespace zentrel
