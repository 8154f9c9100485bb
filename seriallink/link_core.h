// What a link shares with its two threads: the view, the intervals, the comm
// device, the close event, the write queue and the two thread slots (handle
// and id). Held by shared ownership, so a thread that outlives its link (one
// abandoned after ignoring the close) still finds everything it touches. The
// fields are guarded by one mutex; nothing is called out under it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "seriallink/close_event.h"
#include "seriallink/comm_device.h"
#include "seriallink/link_thread.h"
#include "seriallink/link_view.h"
#include "seriallink/write_queue.h"

namespace zentrel {

// The link's intervals; tests pass short ones.
struct LinkTimings {
  std::chrono::milliseconds read_silence{250};         // ends a read after its first byte
  std::chrono::milliseconds thread_close_wait{10000};  // before a thread is abandoned
};

enum class LinkSide { kRead, kWrite };

// What PostWrite's post into the write queue came to.
enum class PostResult { kPosted, kNoWriteThread, kPostFailed };

inline constexpr const char* kInvalidHandleText =
    "ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.\n";

class LinkCore {
 public:
  LinkCore(ILinkView& view, LinkTimings timings) : view_(view), timings_(timings) {}

  ILinkView& view() const { return view_; }
  const LinkTimings& timings() const { return timings_; }

  std::shared_ptr<ICommDevice> Device() const;
  bool HasDevice() const { return Device() != nullptr; }
  std::shared_ptr<CloseEvent> Close() const;
  std::shared_ptr<WriteQueue> Queue() const;
  void SetChannel(std::shared_ptr<ICommDevice> device, std::shared_ptr<CloseEvent> close,
                  std::shared_ptr<WriteQueue> queue);
  void ClearChannel();

  std::shared_ptr<LinkThread> Thread(LinkSide side) const;
  std::uint32_t ThreadId(LinkSide side) const;
  void SetThread(LinkSide side, std::shared_ptr<LinkThread> thread);
  // Empties the slot only if it still holds `thread`.
  void ClearThreadIf(LinkSide side, const LinkThread* thread);
  // The write thread's exit: empties its slot and closes its queue.
  void EndWriteThread(const LinkThread* thread, WriteQueue* queue);

  PostResult PostToWriteThread(const ThreadMessage& m);

  // Runs the telephony teardown, unless the caller is an abandoned thread.
  int ReportLinkFailure(const LinkThread* caller);

 private:
  struct Slot {
    std::shared_ptr<LinkThread> handle;
    std::uint32_t id = 0;
  };
  Slot& SlotOf(LinkSide side) { return side == LinkSide::kRead ? read_ : write_; }
  const Slot& SlotOf(LinkSide side) const { return side == LinkSide::kRead ? read_ : write_; }

  ILinkView& view_;
  const LinkTimings timings_;
  mutable std::mutex mutex_;
  std::shared_ptr<ICommDevice> device_;
  std::shared_ptr<CloseEvent> close_;
  std::shared_ptr<WriteQueue> queue_;
  Slot read_;
  Slot write_;
};

}  // namespace zentrel
