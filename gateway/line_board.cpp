// The board of line_board.h. What counts as a change leaves out the busy
// seconds of a call under way, which grow all the time: the heartbeat
// carries them.
#include "gateway/line_board.h"

#include <algorithm>
#include <tuple>

#include "gateway/log.h"

namespace zentrel::gateway {

namespace {

bool Same(const LineState& a, const LineState& b) {
  return std::tie(a.name, a.state, a.pages, a.since, a.rest_until, a.failures, a.calls) ==
         std::tie(b.name, b.state, b.pages, b.since, b.rest_until, b.failures, b.calls);
}

bool Same(const std::vector<LineState>& a, const std::vector<LineState>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const LineState& x, const LineState& y) { return Same(x, y); });
}

queue::LineReport Report(const LineState& l, double now, double fresh_until) {
  return {"",         l.name,  l.state,  l.pages, l.since,    l.rest_until,
          l.failures, l.calls, l.busy_s, now,     fresh_until};
}

LineState FromReport(const queue::LineReport& r, double now) {
  LineState l;
  l.gateway = r.gateway;
  l.name = r.name;
  l.state = r.state;
  l.pages = r.pages;
  l.since = r.since;
  l.rest_until = r.rest_until;
  l.failures = r.failures;
  l.calls = static_cast<long>(r.calls);
  l.busy_s = r.busy_s;
  l.seen = now <= r.fresh_until;
  l.age_s = std::max(0.0, now - r.updated_at);
  return l;
}

}  // namespace

LineBoard::LineBoard(queue::PageQueue& queue, std::string gateway, double heartbeat_s)
    : queue_(queue), gateway_(std::move(gateway)), heartbeat_s_(heartbeat_s) {}

void LineBoard::Update(const std::vector<LineState>& lines, double now) {
  if (ever_ && now < next_due_ && Same(lines, written_)) return;
  written_ = lines;
  ever_ = true;
  next_due_ = now + heartbeat_s_;
  Write(lines, now);
}

void LineBoard::Write(const std::vector<LineState>& lines, double now) {
  std::vector<queue::LineReport> reports;
  for (const LineState& l : lines) {
    reports.push_back(Report(l, now, now + heartbeat_s_ * kStaleHeartbeats));
  }
  try {
    queue_.PublishLines(gateway_, reports);
    trouble_.clear();
  } catch (const queue::QueueError& e) {
    if (e.what() != trouble_) Log(std::string("the lines were not written: ") + e.what());
    trouble_ = e.what();
  }
}

void LineBoard::Withdraw() {
  try {
    queue_.PublishLines(gateway_, {});
  } catch (const queue::QueueError& e) {
    Log(std::string("the lines were not removed from the queue: ") + e.what());
  }
}

EveryLine ReadEveryLine(queue::PageQueue& queue, const LineCalls& calls, double now) {
  EveryLine every{calls.States(now), ""};
  try {
    for (const queue::LineReport& r : queue.AllLines()) {
      if (r.gateway != calls.Gateway()) every.lines.push_back(FromReport(r, now));
    }
  } catch (const queue::QueueError& e) {
    every.others_unknown = e.what();
  }
  return every;
}

}  // namespace zentrel::gateway
