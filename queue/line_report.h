// What one gateway tells the others sharing its queue about each of its
// lines: the line's state as that gateway last wrote it, when it wrote it,
// and until when the writer vouches for it (a gateway that stops writing,
// killed or cut off, is then shown as not seen rather than as it last was).
// Plain data, so the queue needs nothing of the daemon's own types.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "queue/page_record.h"

namespace zentrel::queue {

struct LineReport {
  std::string gateway;        // who wrote it
  std::string name;           // the line's name
  std::string state;          // "idle", "in a call", "resting", "dropped"
  std::vector<PageId> pages;  // the call's
  double since = 0;           // the call's start
  double rest_until = 0;
  int failures = 0;
  std::int64_t calls = 0;
  double busy_s = 0;
  double updated_at = 0;   // the writer's clock when it wrote
  double fresh_until = 0;  // past this, the writer is not seen
};

// A call's pages as stored in one column ("12 13 14") and back; a word that
// is not a page id is left out.
std::string JoinIds(const std::vector<PageId>& ids, const char* between = " ");
std::vector<PageId> SplitIds(const std::string& text);

}  // namespace zentrel::queue
