// CCommLink: the serial link of one paging call. Attach takes over the call's
// device (a tty, a connected stream socket or a TLS session on one), sets a
// tty to its line's format (300 bit/s 7E1 on a modem line), and starts a
// read thread and a write thread on it; PostWrite queues blocks
// for the write thread; Stop ends both threads and closes the device. The
// newest link is the current one, in g_pCommLink. Each link's threads act on
// the link that started them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "seriallink/comm_device.h"
#include "seriallink/link_core.h"
#include "seriallink/link_view.h"
#include "seriallink/write_queue.h"

namespace zentrel {

class CCommLink : public ISerialLink {
 public:
  // Registers the new link as the current one.
  explicit CCommLink(ILinkView& view, LinkTimings timings = {},
                     ICommPlatform& platform = PosixCommPlatform());
  // Stops the link, waits for threads that are still finishing, and empties
  // the current-link slot if it still names this link.
  ~CCommLink() override;
  CCommLink(const CCommLink&) = delete;
  CCommLink& operator=(const CCommLink&) = delete;

  // 1 = the descriptor is the link's; without `with`, a modem line's.
  int Attach(int comm_handle, const CommHandover& with) override;
  int Attach(int comm_handle) { return Attach(comm_handle, {}); }
  void Stop() override;
  int PostWrite(char* data, std::uint32_t length) override;

  // Queues any thread message for the write thread; 1 when queued.
  int PostThreadMessage(std::uint32_t message, std::uint32_t wParam, char* lParam);
  void CloseReadThread();
  void CloseWriteThread();
  int ReportLinkFailure();

  // State, for the telephony object and tests.
  bool IsAttached() const { return core_->HasDevice(); }
  std::uint32_t ReadThreadId() const { return core_->ThreadId(LinkSide::kRead); }
  std::uint32_t WriteThreadId() const { return core_->ThreadId(LinkSide::kWrite); }
  // True when the latest read (write) thread has ended, or none was started.
  bool WaitReadThreadEnded(std::chrono::milliseconds limit);
  bool WaitWriteThreadEnded(std::chrono::milliseconds limit);

 private:
  enum class State { kDetached, kAttached, kStopping };

  int FailAttach(ICommDevice& device);
  bool StartThread(LinkSide side);
  void CloseThread(LinkSide side);
  std::shared_ptr<LinkThread> Started(LinkSide side) const;

  std::shared_ptr<LinkCore> core_;
  ICommPlatform& platform_;
  std::atomic<State> state_{State::kDetached};
  mutable std::mutex started_mutex_;
  std::vector<std::shared_ptr<LinkThread>> started_;  // every thread this link started
  std::shared_ptr<LinkThread> last_read_;
  std::shared_ptr<LinkThread> last_write_;
};

// The current link: the newest one constructed and not yet destroyed.
extern std::atomic<CCommLink*> g_pCommLink;

}  // namespace zentrel
