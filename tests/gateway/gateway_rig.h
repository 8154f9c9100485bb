// The gateway's test rig: a scratch folder with recipients (PINs 1001 to
// 1040), a lines file, a queue file and the socket; the real zentrel-gateway
// started on them with the fake worker (fake_worker.cpp) playing each call;
// and a socket client that sends one request line and reads answer lines
// with a bound. Nothing here sleeps: every wait is a poll on a descriptor.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/process.h"

namespace zentrel::gateway::testing {

using nlohmann::json;
using namespace std::chrono_literals;

class SocketClient {
 public:
  explicit SocketClient(const std::string& path);
  ~SocketClient();
  SocketClient(const SocketClient&) = delete;
  SocketClient& operator=(const SocketClient&) = delete;
  bool Connected() const { return fd_ >= 0; }
  void SendRaw(const std::string& bytes);
  // The next answer line parsed; null on end of connection or time-out.
  json Read(std::chrono::milliseconds limit = 10s);
  json Ask(const json& request, std::chrono::milliseconds limit = 10s);
  // True when the daemon closed the connection within `limit`.
  bool ClosedWithin(std::chrono::milliseconds limit);

 private:
  int fd_ = -1;
  std::string buffer_;
};

class GatewayRig {
 public:
  GatewayRig();
  ~GatewayRig();
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Starts the daemon with the rig's files, `extra` options and `env`.
  void Start(const std::vector<std::string>& extra = {}, const std::vector<std::string>& env = {});
  e2e::Process& Daemon() { return *daemon_; }
  // Stops it (SIGTERM) and returns its exit status.
  int Stop();
  void Plan(const std::vector<std::string>& steps);  // the fake worker's calls
  // How many times each page id reached the fake terminal; the dup flags.
  std::map<long, std::vector<bool>> Delivered() const;
  // Submits one page; its id, or 0 (the answer is then in `answer`).
  long Submit(const std::string& pin, const std::string& text, json extra = json::object(),
              json* answer = nullptr);
  // Watches `ids` to their final state: id -> page.
  std::map<long, json> WatchAll(const std::vector<long>& ids,
                                std::chrono::milliseconds limit = 30s);
  std::string socket() const { return Path("gateway.sock"); }
  // Line turns are taken in the scratch folder, not the system's lock folder.
  std::string LockEnv() const { return "ZENTREL_LOCK_DIR=" + dir_.string(); }
  // The program run for each call (the fake worker unless set).
  void UseWorker(const std::string& program) { worker_ = program; }
  // The queue the daemon is given (its own SQLite file unless set).
  void UseQueue(const std::string& where) { queue_ = where; }

 private:
  std::filesystem::path dir_;
  std::string worker_ = FAKE_WORKER;
  std::string queue_;
  std::unique_ptr<e2e::Process> daemon_;
};

}  // namespace zentrel::gateway::testing
