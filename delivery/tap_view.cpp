// TapView: the engine runs only on the loop's thread; the read thread merely
// adds what it received to an inbox and wakes the loop. What is still in the
// inbox when the call has ended is read before the outcomes are taken. Texts go out as the
// transaction's do: a copy of its own per post, released here when the link refuses it.
#include "delivery/tap_view.h"

#include <cstring>

#include "seriallink/comm_link.h"
#include "seriallink/local_heap.h"

namespace zentrel {

TapView::TapView(UiLoop& loop, std::vector<tap::OutgoingPage> pages, tap::SessionTimings timings,
                 IPageEvents* events)
    : loop_(loop), events_(events), session_(pages, *this, timings), reports_(pages.size()) {}

int TapView::OnLinkUp() {
  if (events_) events_->Connected();
  session_.Start();
  return 1;
}

int TapView::ProcessReceivedData(const char* text, std::uint32_t length) {
  if (text == nullptr) return 1;
  {
    std::lock_guard lock(inbox_mutex_);
    inbox_.append(text, strnlen(text, length));
  }
  loop_.Post([this] { TakeInbox(); });
  return 1;
}

void TapView::TakeInbox() {
  std::string bytes;
  {
    std::lock_guard lock(inbox_mutex_);
    bytes.swap(inbox_);
  }
  if (!bytes.empty()) session_.Receive(bytes);
}

void TapView::Send(std::string_view bytes) {
  char* copy = LocalAlloc(bytes.size() + 1);  // zero-filled: ends in NUL
  if (copy == nullptr) return;
  std::memcpy(copy, bytes.data(), bytes.size());
  ILinkWriter* link = g_pCommLink.load();
  if (link == nullptr || link->PostWrite(copy, static_cast<std::uint32_t>(bytes.size())) == 0) {
    LocalFree(copy);
  }
}

void TapView::ArmTimer(std::chrono::milliseconds after) {
  loop_.StartTimer(after, [this] {
    loop_.StopTimer();
    session_.TimerExpired();
  });
}

void TapView::PageDone(std::size_t index, const tap::PageReport& report) {
  if (index >= reports_.size() || reports_[index]) return;
  reports_[index] = report;
  if (events_) events_->Done(index, report);
}

bool TapView::MayStartPage(std::size_t index) { return !events_ || events_->Starting(index); }

std::vector<tap::PageReport> TapView::Reports(const std::string& why) {
  TakeInbox();  // an answer that came just before the hang-up still counts
  session_.CallEnded(why);
  std::vector<tap::PageReport> all;
  for (const auto& r : reports_)
    all.push_back(r.value_or(
        tap::PageReport{tap::PageStatus::kNotSent, "", why, tap::NotSentCause::kCallEnded}));
  return all;
}

}  // namespace zentrel
