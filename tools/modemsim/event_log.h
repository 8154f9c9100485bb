// The emulator's log: one JSON object per line, flushed at once, so a script
// or test can follow a call while it runs. Every line carries "event" and
// "ms" (milliseconds since the emulator started). Replies are logged ("tx")
// when queued, received bytes ("rx") once a burst has been seen on the line.
// An empty path logs nothing.
#pragma once

#include <chrono>
#include <fstream>
#include <string>
#include <string_view>

#include "actions.h"

namespace zentrel::modemsim {

class EventLog {
 public:
  explicit EventLog(const std::string& path);

  void Ready(const std::string& slave_path);
  void Call(const std::string& number);
  // A caller connected over TCP (the `count`th since the start).
  void Connection(int count);
  void Rx(std::string_view bytes);
  void Tx(std::string_view bytes);
  void Block(const BlockReceived& block);
  // `by`: "terminal" (the emulator hung up) or "client" (the port was closed).
  void Hangup(std::string_view by);

 private:
  template <typename Json>
  void Write(Json&& event);

  std::ofstream out_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace zentrel::modemsim
