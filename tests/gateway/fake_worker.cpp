// A stand-in for `zentrel-send --worker` in the gateway's tests: it speaks
// the worker's side of a call (the batch on stdin, events on stdout, waiting
// for "ok" after each) with a terminal that is only a file. FAKE_WORKER_PLAN
// names a file whose lines are taken one per call (accept, busy, no answer,
// line unusable, refuse, hang, deaf (hangs, ignoring SIGTERM), crash); past
// its end every call accepts.
// FAKE_WORKER_LOG gets one JSON line per page that reached the "terminal".
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using nlohmann::json;

namespace {

// Takes the plan's first line under a lock (several workers run at once).
std::string NextStep() {
  const char* plan = std::getenv("FAKE_WORKER_PLAN");
  const int fd = plan ? open(plan, O_RDWR) : -1;
  if (fd < 0) return "accept";
  flock(fd, LOCK_EX);
  std::string text;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, n);
  const auto nl = text.find('\n');
  const std::string step = nl == std::string::npos ? text : text.substr(0, nl);
  const std::string rest = nl == std::string::npos ? "" : text.substr(nl + 1);
  (void)!ftruncate(fd, 0);
  (void)!pwrite(fd, rest.data(), rest.size(), 0);
  close(fd);
  return step.empty() ? "accept" : step;
}

void Emit(const json& event) { std::cout << event.dump() << std::endl; }

void AwaitOk() {
  std::string line;
  if (!std::getline(std::cin, line) || line != "ok") std::exit(0);  // no further block
}

void Deliver(const json& page, int line) {
  const int fd = open(std::getenv("FAKE_WORKER_LOG"), O_WRONLY | O_APPEND | O_CREAT, 0600);
  const std::string entry = json({{"id", page["id"]},
                                  {"pin", page["pin"]},
                                  {"text", page["text"]},
                                  {"dup", page["may_be_duplicate"]},
                                  {"line", line}})
                                .dump() +
                            "\n";
  (void)!write(fd, entry.data(), entry.size());
  close(fd);
  std::cerr << "fake worker: delivered " << page["id"].get<long>() << std::endl;
}

[[noreturn]] void End(const std::string& outcome, const std::string& reason) {
  Emit({{"event", "end"},
        {"outcome", outcome},
        {"reason", reason},
        {"words", reason},
        {"duration_ms", 5}});
  std::exit(0);
}

void OnTerm(int) {
  static const char kEnd[] =
      "{\"event\":\"end\",\"outcome\":\"not sent\",\"reason\":\"interrupted\",\"words\":"
      "\"SIGTERM\",\"duration_ms\":5}\n";
  (void)!write(1, kEnd, sizeof kEnd - 1);
  _exit(0);
}

}  // namespace

int main() {
  std::string first;
  std::getline(std::cin, first);
  const json batch = json::parse(first, nullptr, false);
  if (!batch.is_object()) return 2;
  const std::string step = NextStep();
  signal(SIGTERM, OnTerm);
  for (const char* fails :
       {"busy", "no answer", "line unusable", "line in use", "refused number"}) {
    if (step == fails) End("not sent", step);
  }
  Emit({{"event", "connected"}, {"line", "fake " + std::to_string(batch["line"].get<int>())}});
  for (const json& page : batch["pages"]) {
    Emit({{"event", "sending"}, {"id", page["id"]}});
    AwaitOk();
    if (step == "deaf") signal(SIGTERM, SIG_IGN);
    if (step == "hang" || step == "deaf") {
      std::cerr << "fake worker: hanging on " << page["id"].get<long>() << std::endl;
      for (;;) pause();
    }
    if (step == "crash") _exit(3);
    if (step == "refuse") {
      Emit({{"event", "page"},
            {"id", page["id"]},
            {"outcome", "refused"},
            {"reason", "terminal refused"},
            {"words", "Invalid Pin"},
            {"duration_ms", 3}});
    } else {
      Deliver(page, batch["line"].get<int>());
      Emit({{"event", "page"},
            {"id", page["id"]},
            {"outcome", "accepted"},
            {"reason", ""},
            {"words", "211 Page accepted"},
            {"duration_ms", 3}});
    }
    AwaitOk();
  }
  End("completed", "");
}
