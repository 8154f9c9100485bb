// The calls of line_calls.h. A queue that cannot commit an event makes the
// daemon close the worker's input: with no "ok" it sends no further block,
// logs off and ends, and its unanswered pages are retried.
#include "gateway/line_calls.h"

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>

#include "gateway/log.h"

namespace zentrel::gateway {

LineCalls::LineCalls(const GatewaySettings& settings, queue::PageQueue& queue,
                     std::function<void()> changed)
    : settings_(settings), queue_(queue), changed_(std::move(changed)) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(settings.lines_path, ec);
  lines_file_ = ec ? settings.lines_path : absolute.string();
}

LineCalls::~LineCalls() = default;

void LineCalls::SetLines(const std::vector<LineConfig>& lines) {
  if (slots_.size() < lines.size()) slots_.resize(lines.size());
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (i < lines.size()) {
      slots_[i].line = lines[i];
    } else {
      slots_[i].line.reset();
    }
    slots_[i].rest_until = 0;
    slots_[i].failures = 0;
  }
  while (!slots_.empty() && !slots_.back().line && !slots_.back().call) slots_.pop_back();
}

// A queue that fails here (a shared database gone away) starts no call; the
// loop tries again when the queue's upkeep says it may be back.
void LineCalls::Dispatch(double now) {
  try {
    if (!queue_.ExpireDue(now).empty()) changed_();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      Slot& slot = slots_[i];
      if (!slot.line || slot.call || slot.rest_until > now) continue;
      if (!Start(i, slot, now)) break;  // nothing due
    }
  } catch (const queue::QueueError& e) {
    if (e.what() != last_trouble_) Log(std::string("no call started: ") + e.what());
    last_trouble_ = e.what();
    return;
  }
  if (!last_trouble_.empty()) Log("the queue works again");
  last_trouble_.clear();
}

bool LineCalls::Start(std::size_t index, Slot& slot, double now) {
  const bool modem = slot.line->Dials();
  const std::string name = slot.line->LineName();
  std::vector<queue::Page> pages = queue_.Claim({name, modem, settings_.max_pages_per_call}, now);
  if (pages.empty()) return false;
  Batch batch{static_cast<int>(index), lines_file_,
              pages.front().phone,     pages.front().split,
              pages.front().max_chars, settings_.call_timeout_s,
              std::move(pages)};
  auto call = std::make_unique<Call>();
  call->line_name = name;
  call->started = now;
  call->overdue_at = now + settings_.call_timeout_s + settings_.call_margin_s;
  for (const queue::Page& page : batch.pages) call->ids.push_back(page.id);
  try {
    call->worker = std::make_unique<WorkerCall>(
        std::vector<std::string>{settings_.worker_program, "--worker"}, batch);
  } catch (const std::exception& e) {
    Log(name + ": " + e.what());
    queue_.EndCall(call->ids, {name, "line unusable", e.what(), now, 0});
    slot.rest_until = now + settings_.policy.WaitAfter(++slot.failures);
    return true;
  }
  Log(name + ": a call for " + std::to_string(call->ids.size()) + " page(s)" +
      (modem ? " to " + batch.phone : ""));
  slot.call = std::move(call);
  ++slot.calls;
  return true;
}

void LineCalls::AddFds(std::vector<pollfd>& fds) const {
  for (const Slot& slot : slots_) {
    if (!slot.call) continue;
    const WorkerCall& worker = *slot.call->worker;
    if (worker.OutFd() >= 0) fds.push_back(pollfd{worker.OutFd(), POLLIN, 0});
    if (worker.WantsWrite()) fds.push_back(pollfd{worker.InFd(), POLLOUT, 0});
  }
}

void LineCalls::Serve(const std::vector<pollfd>& fds, double now) {
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    for (Slot& slot : slots_) {
      if (!slot.call) continue;
      WorkerCall& worker = *slot.call->worker;
      if (p.fd == worker.InFd() && (p.revents & (POLLOUT | POLLERR | POLLHUP))) worker.OnWritable();
      if (p.fd != worker.OutFd()) continue;
      for (const WorkerEvent& event : worker.OnReadable()) OnEvent(*slot.call, event, now);
      if (worker.Reap() && worker.Over()) Finish(slot, now);
    }
  }
}

void LineCalls::OnEvent(Call& call, const WorkerEvent& event, double now) {
  if (!call.trouble.empty()) return;
  WorkerCall& worker = *call.worker;
  const bool known = [&] {
    const queue::PageId id =
        std::holds_alternative<SendingEvent>(event) ? std::get<SendingEvent>(event).id
        : std::holds_alternative<PageEvent>(event)  ? std::get<PageEvent>(event).id
                                                    : 0;
    return id == 0 || (std::find(call.ids.begin(), call.ids.end(), id) != call.ids.end() &&
                       !call.answered.count(id));
  }();
  try {
    if (!known) {
      call.trouble = "an event for a page not in its batch";
    } else if (const auto* bad = std::get_if<BadEvent>(&event)) {
      call.trouble = bad->why;
    } else if (const auto* sending = std::get_if<SendingEvent>(&event)) {
      queue_.MarkSending(sending->id);
      worker.Ack();
    } else if (const auto* page = std::get_if<PageEvent>(&event)) {
      queue_.RecordAnswer(page->id, {now, call.line_name, page->outcome, page->reason, page->words,
                                     page->duration_ms});
      call.answered.insert(page->id);
      worker.Ack();
      Log(call.line_name + ": page " + std::to_string(page->id) + " " + page->outcome +
          (page->reason.empty() ? "" : " (" + page->reason + ")"));
      changed_();
    } else if (const auto* end = std::get_if<EndEvent>(&event)) {
      call.ended = true;
      call.end = *end;
    }
  } catch (const queue::QueueError& e) {
    call.trouble = std::string("the queue failed: ") + e.what();
  }
  if (!call.trouble.empty()) {
    Log(call.line_name + ": the call is ended: " + call.trouble);
    worker.CloseInput();
  }
}

void LineCalls::ChildExited(double now) {
  for (Slot& slot : slots_) {
    if (slot.call && slot.call->worker->Reap() && slot.call->worker->Over()) Finish(slot, now);
  }
}

// The pages it never answered go back (or end refused when the call's
// reason is final). A line that could not be used at all rests.
void LineCalls::Finish(Slot& slot, double now) {
  Call& call = *slot.call;
  std::string reason = call.ended ? call.end.reason : "interrupted";
  std::string words = call.ended ? call.end.words : call.trouble;
  if (!call.ended && words.empty() && call.told_to_stop) {
    words = "the call took longer than its time-out";
  }
  if (!call.ended && words.empty()) {
    words = "the worker stopped without a word (exit status " +
            std::to_string(call.worker->ExitStatus()) + ")";
  }
  if (reason.empty()) reason = "interrupted";
  std::vector<queue::PageId> open;
  for (queue::PageId id : call.ids) {
    if (!call.answered.count(id)) open.push_back(id);
  }
  const auto ms = static_cast<std::int64_t>((now - call.started) * 1000);
  slot.busy_s += now - call.started;
  durations_.Add(now - call.started);
  try {
    if (!open.empty() &&
        !queue_.EndCall(open, {call.line_name, reason, words, now, ms, !stopping_}).empty()) {
      changed_();
    }
  } catch (const queue::QueueError& e) {
    Log(call.line_name + ": " + e.what() + " (the pages are put back at the next start)");
  }
  const bool line_fault = queue::IsLineReason(reason) && call.answered.empty();
  slot.failures = line_fault ? slot.failures + 1 : 0;
  slot.rest_until = line_fault ? now + settings_.policy.WaitAfter(slot.failures) : 0;
  Log(call.line_name + ": call over, " + std::to_string(call.answered.size()) + " of " +
      std::to_string(call.ids.size()) + " page(s) answered" +
      (open.empty() ? "" : "; the others: " + reason + (words.empty() ? "" : " (" + words + ")")));
  slot.call.reset();
}

void LineCalls::Signal(int signal) {
  for (Slot& slot : slots_) {
    if (slot.call) slot.call->worker->Signal(signal);
  }
}

void LineCalls::EndOverdue(double now) {
  for (Slot& slot : slots_) {
    if (!slot.call || now < slot.call->overdue_at) continue;
    Call& call = *slot.call;
    Log(call.line_name + ": the call took longer than its time-out; the worker is " +
        (call.told_to_stop ? "killed" : "told to stop"));
    call.worker->Signal(call.told_to_stop ? SIGKILL : SIGTERM);
    call.overdue_at = now + settings_.stop_grace_s;
    call.told_to_stop = true;
  }
}

bool LineCalls::CanStart(double now) const {
  for (const Slot& slot : slots_) {
    if (slot.line && !slot.call && slot.rest_until <= now) return true;
  }
  return false;
}

bool LineCalls::Busy() const {
  for (const Slot& slot : slots_) {
    if (slot.call) return true;
  }
  return false;
}

void CallDurations::Add(double seconds) {
  for (std::size_t i = 0; i < kBounds.size(); ++i) {
    if (seconds <= kBounds[i]) {
      ++counts[i];
      break;
    }
  }
  ++count;
  sum += seconds;
}

std::vector<LineState> LineCalls::States(double now) const {
  std::vector<LineState> states;
  for (const Slot& slot : slots_) {
    LineState state;
    state.gateway = settings_.name;
    state.name = slot.line ? slot.line->LineName() : slot.call ? slot.call->line_name : "";
    state.state = !slot.line              ? "dropped"
                  : slot.call             ? "in a call"
                  : slot.rest_until > now ? "resting"
                                          : "idle";
    if (slot.call) {
      state.pages = slot.call->ids;
      state.since = slot.call->started;
    }
    state.rest_until = slot.rest_until > now ? slot.rest_until : 0;
    state.failures = slot.failures;
    state.calls = slot.calls;
    state.busy_s = slot.busy_s + (slot.call ? now - slot.call->started : 0);
    states.push_back(std::move(state));
  }
  return states;
}

double LineCalls::NextDeadline() const {
  double next = std::numeric_limits<double>::infinity();
  for (const Slot& slot : slots_) {
    if (slot.line && !slot.call && slot.rest_until > 0) next = std::min(next, slot.rest_until);
    if (slot.call) next = std::min(next, slot.call->overdue_at);
  }
  return next;
}

}  // namespace zentrel::gateway
