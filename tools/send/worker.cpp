// The worker's loop. Standard input is read through poll() in short waits,
// so that a SIGTERM (noted by the signal thread) ends a wait for "ok" as
// surely as the end of the input does. Every event is one line, flushed.
#include "tools/send/worker.h"

#include <nlohmann/json.hpp>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "delivery/batch_call.h"
#include "delivery/interruption.h"
#include "tools/send/worker_batch.h"

namespace zentrel {
namespace {

using nlohmann::json;

// The batch line may hold many pages; nothing longer is read.
constexpr std::size_t kMaxLine = 64 * 1024 * 1024;
constexpr int kPollMs = 100;

class InputLines {
 public:
  explicit InputLines(int fd) : fd_(fd) {}
  // The next line; none at the end of the input, on a read error, on a
  // line over kMaxLine, or (when `signal_ends`) once a signal was noted.
  std::optional<std::string> Next(bool signal_ends) {
    for (;;) {
      if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (ended_ || buffer_.size() > kMaxLine) return std::nullopt;
      if (signal_ends && InterruptingSignal() != 0) return std::nullopt;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, kPollMs) <= 0) continue;
      char chunk[65536];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ended_ = true;
        if (!buffer_.empty()) buffer_ += '\n';  // a last line without its break
        continue;
      }
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string buffer_;
  bool ended_ = false;
};

void Emit(std::FILE* out, const json& event) {
  std::fprintf(out, "%s\n", event.dump(-1, ' ', false, json::error_handler_t::replace).c_str());
  std::fflush(out);
}

class WorkerEvents : public IBatchEvents {
 public:
  WorkerEvents(const BatchCall& batch, InputLines& in, std::FILE* out)
      : batch_(batch), in_(in), out_(out) {}

  void Connected(const std::string& line_name) override {
    Emit(out_, {{"event", "connected"}, {"line", line_name}});
  }
  bool Sending(std::size_t page) override {
    Emit(out_, {{"event", "sending"}, {"id", batch_.pages[page].id}});
    return AwaitOk();
  }
  void PageEnded(std::size_t page, const Outcome& outcome,
                 std::chrono::milliseconds took) override {
    Emit(out_, {{"event", "page"},
                {"id", batch_.pages[page].id},
                {"outcome", DeliveryName(outcome.delivery)},
                {"reason", ReasonCode(outcome.reason)},
                {"words", outcome.words},
                {"duration_ms", took.count()}});
    AwaitOk();
  }
  bool Stopped() const override { return stopped_; }

 private:
  // The daemon's "ok"; anything else, the end of the input or a signal
  // stops the batch.
  bool AwaitOk() {
    const auto line = in_.Next(true);
    if (!line || *line != "ok") stopped_ = true;
    return !stopped_;
  }

  const BatchCall& batch_;
  InputLines& in_;
  std::FILE* out_;
  bool stopped_ = false;
};

void EmitEnd(std::FILE* out, const BatchEnd& end, std::chrono::steady_clock::time_point since) {
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - since);
  Emit(out, {{"event", "end"},
             {"outcome", end.completed ? "completed" : "not sent"},
             {"reason", end.completed ? "" : ReasonCode(end.outcome.reason)},
             {"words", end.outcome.words},
             {"duration_ms", took.count()}});
}

}  // namespace

int RunWorker(int in, std::FILE* out, std::FILE* err) {
  const auto since = std::chrono::steady_clock::now();
  const InCall in_call;  // a signal is noted, never ends the worker at once
  InputLines lines(in);
  const auto first = lines.Next(false);
  BatchCall batch;
  std::string error = "no batch line on standard input";
  if (!first || !ParseWorkerBatch(*first, &batch, &error)) {
    std::fprintf(err, "zentrel-send: malformed batch: %s\n", error.c_str());
    return 2;
  }
  // The line's turn is keyed by the lines file, as every sender keys it.
  ::setenv("ZENTREL_LINES", batch.lines_file.c_str(), 1);
  BatchEnd end{false, BatchRefusal(batch)};
  if (end.outcome.reason == Reason::kNone && InterruptingSignal() != 0) {
    end.outcome = {Delivery::kNotSent, Reason::kInterrupted,
                   InterruptionText(InterruptingSignal())};
  }
  if (end.outcome.reason == Reason::kNone) {
    WorkerEvents events(batch, lines, out);
    end = RunBatchCall(batch, events, err);
  }
  EmitEnd(out, end, since);
  return 0;
}

}  // namespace zentrel
