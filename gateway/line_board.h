// Every gateway's lines, through the queue they share: this gateway writes
// its lines whenever one changes (a call starts or ends, a line rests) and
// at least every heartbeat, vouching for them for three heartbeats; a reader
// shows its own lines as they are and the others' as last written, marked
// not seen once their writer stopped vouching (killed, or cut off). A clean
// stop removes this gateway's lines.
#pragma once

#include <string>
#include <vector>

#include "gateway/line_calls.h"
#include "queue/page_queue.h"

namespace zentrel::gateway {

constexpr int kStaleHeartbeats = 3;  // writes missed before a gateway is not seen

class LineBoard {
 public:
  LineBoard(queue::PageQueue& queue, std::string gateway, double heartbeat_s);

  // Writes `lines` when they differ from the last written or a heartbeat is
  // due. A queue that fails is logged (once per reason) and tried again at
  // the next change or heartbeat.
  void Update(const std::vector<LineState>& lines, double now);
  double NextDue() const { return next_due_; }
  // A clean stop: this gateway's lines are removed.
  void Withdraw();

 private:
  void Write(const std::vector<LineState>& lines, double now);
  queue::PageQueue& queue_;
  std::string gateway_;
  double heartbeat_s_;
  std::vector<LineState> written_;
  bool ever_ = false;
  double next_due_ = 0;
  std::string trouble_;
};

struct EveryLine {
  std::vector<LineState> lines;
  std::string others_unknown;  // why the other gateways' lines are missing
};

// This gateway's lines (`calls`, as they are) and every other gateway's as
// last written, each with its gateway; the others' left out (and why) when
// the queue cannot be read.
EveryLine ReadEveryLine(queue::PageQueue& queue, const LineCalls& calls, double now);

}  // namespace zentrel::gateway
