// The HTTP listener itself: an httplib server (HTTPS when a certificate is
// set) bound at start, serving on its own thread and a pool of its own, held
// to the settings' bounds: body size (413), header lines (431), time per read
// and write, keep-alive. Its handlers never touch the daemon's state except
// through DaemonAccess.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "gateway/http_settings.h"

namespace zentrel::gateway {

class HttpServer {
 public:
  // Binds and starts serving; `add_routes` registers the handlers first.
  // Throws std::runtime_error naming the address (or the certificate) and
  // the cause.
  HttpServer(const HttpSettings& settings, const std::function<void(httplib::Server&)>& add_routes);
  ~HttpServer();  // Stop()
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // "http://127.0.0.1:8444" (the port bound when 0 was asked for).
  std::string Where() const { return where_; }
  // Takes no new connection; the ones under way end by themselves.
  void StopAccepting();
  // StopAccepting, then waits for the requests under way: call it only once
  // nothing they wait on can still be waited on (LoopTasks closed).
  void Stop();

 private:
  void Serve();
  std::unique_ptr<httplib::Server> server_;
  std::string where_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool serving_ = true;
};

}  // namespace zentrel::gateway
