// The window of alert_dedupe.h: entries older than it are dropped, oldest
// first, at each look, so the map holds at most the posts of one window.
#include "gateway/alert_dedupe.h"

namespace zentrel::gateway {

const std::vector<queue::PageId>* AlertDedupe::Seen(const std::string& key, double now) {
  Forget(now);
  const auto found = posts_.find(key);
  return found == posts_.end() ? nullptr : &found->second.ids;
}

void AlertDedupe::Remember(const std::string& key, const std::vector<queue::PageId>& ids,
                           double now) {
  if (window_s_ <= 0) return;
  posts_[key] = Post{now, ids};
  order_.emplace_back(now, key);
}

void AlertDedupe::Forget(double now) {
  while (!order_.empty() && now - order_.front().first >= window_s_) {
    const auto found = posts_.find(order_.front().second);
    if (found != posts_.end() && found->second.at == order_.front().first) posts_.erase(found);
    order_.pop_front();
  }
}

}  // namespace zentrel::gateway
