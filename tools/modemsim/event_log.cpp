// JSON lines through nlohmann/json; invalid UTF-8 in a PIN or message is
// replaced rather than thrown on, so a strange block can't stop the emulator.
#include "event_log.h"

#include <nlohmann/json.hpp>

#include "pty_port.h"
#include "tap_block.h"

namespace zentrel::modemsim {

using nlohmann::json;

EventLog::EventLog(const std::string& path) : start_(std::chrono::steady_clock::now()) {
  if (path.empty()) return;
  out_.open(path, std::ios::app);
  if (!out_) throw ModemSimError("cannot open log " + path);
}

template <typename Json>
void EventLog::Write(Json&& event) {
  if (!out_.is_open()) return;
  event["ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start_)
                    .count();
  out_ << event.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  out_.flush();
}

void EventLog::Ready(const std::string& slave_path) {
  Write(json{{"event", "ready"}, {"slave", slave_path}});
}

void EventLog::Call(const std::string& number) {
  Write(json{{"event", "call"}, {"number", number}});
}

void EventLog::Connection(int count) { Write(json{{"event", "connection"}, {"count", count}}); }

void EventLog::Rx(std::string_view bytes) {
  Write(json{{"event", "rx"}, {"hex", Hex(bytes)}, {"text", Readable(bytes)}});
}

void EventLog::Tx(std::string_view bytes) {
  Write(json{{"event", "tx"}, {"hex", Hex(bytes)}, {"text", Readable(bytes)}});
}

void EventLog::Block(const BlockReceived& block) {
  Write(json{{"event", "block"},
             {"pin", block.pin},
             {"message", block.message},
             {"checksum", block.checksum},
             {"valid", block.valid},
             {"end", block.end}});
}

void EventLog::Hangup(std::string_view by) { Write(json{{"event", "hangup"}, {"by", by}}); }

}  // namespace zentrel::modemsim
