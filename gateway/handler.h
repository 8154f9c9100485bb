// Answers the socket's requests from the queue: a submission is checked page
// by page (all or nothing) and committed before "ok"; list, show and the
// person's changes read or change the queue. Watch is kept by the client's
// connection (it answers over time); this gives each watched page's line.
// Runs on the daemon's one thread; it never waits on a line.
#pragma once

#include <nlohmann/json.hpp>
#include <sys/types.h>

#include <set>

#include "gateway/recipients.h"
#include "gateway/request.h"
#include "queue/page_queue.h"

namespace zentrel::gateway {

class Handler {
 public:
  Handler(queue::PageQueue& queue, const Recipients& recipients)
      : queue_(queue), recipients_(recipients) {}

  // The answer to every request but watch; `accepting` false while the
  // daemon stops (submissions are then refused as unavailable).
  nlohmann::json Answer(const Request& request, uid_t peer, double now, bool accepting);

  // A submission recorded as made `by` someone (the other listeners' way
  // in): the same checks and commit as a socket's, refused while stopping.
  nlohmann::json SubmitBy(const Request& request, const std::string& by, double now,
                          bool accepting = true);

  // One watched page's line when it is final (or unknown); null otherwise.
  nlohmann::json WatchLine(queue::PageId id);
  // Those of `ids` whose watch line is due now (one read of the queue).
  std::vector<queue::PageId> Settled(const std::set<queue::PageId>& ids);

 private:
  nlohmann::json Submit(const Request& request, const std::string& by, double now);
  nlohmann::json Change(const Request& request, double now);

  queue::PageQueue& queue_;
  const Recipients& recipients_;
};

nlohmann::json ErrorAnswer(const std::string& code, const std::string& error);

}  // namespace zentrel::gateway
