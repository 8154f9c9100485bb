// The alert groups paged lately: the alerting tools post the same group
// again on every interval, and within the dedupe window a post whose key
// (group, status, alerts and PINs) was paged already pages nobody; it is
// answered with the pages of the first post. Kept in memory and used on the
// daemon's thread only (inside DaemonAccess::Run); a restart forgets it,
// and the queue's own dedupe of the same text to the same PIN still holds.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "queue/page_record.h"

namespace zentrel::gateway {

class AlertDedupe {
 public:
  explicit AlertDedupe(double window_s) : window_s_(window_s) {}
  // The pages of `key`'s post within the window, or nullptr.
  const std::vector<queue::PageId>* Seen(const std::string& key, double now);
  void Remember(const std::string& key, const std::vector<queue::PageId>& ids, double now);

 private:
  struct Post {
    double at = 0;
    std::vector<queue::PageId> ids;
  };
  void Forget(double now);
  double window_s_;
  std::map<std::string, Post> posts_;
  std::deque<std::pair<double, std::string>> order_;  // oldest first
};

}  // namespace zentrel::gateway
