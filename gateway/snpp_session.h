// One SNPP conversation (levels 1 and 2) as pure code: bytes in, reply bytes
// out, no sockets and no clock of its own. It cuts lines (1024 bytes at most),
// reads DATA text up to its lone ".", keeps the transaction (pagers, their
// options, the message) and hands it to its back-end only at SEND. Only the
// first four letters of a command count, in any case; ten 5xx replies in a
// row, QUIT or a fault end the conversation (Closing()).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::gateway {

// One page of a transaction as SEND hands it over.
struct SnppPage {
  std::string pin;
  std::string text;
  double hold_until = 0;  // Unix seconds; 0 for at once
  int level = 1;          // the service level; 0 goes ahead of the queue
  bool alert = false;
  std::string subject;
  std::string caller_id;
};

struct SnppSendResult {
  std::vector<std::int64_t> ids;  // empty when refused
  bool unavailable = false;       // the queue failed (554), else a page was refused (550)
  std::string error;              // for a person
};

// What a conversation needs from the gateway.
class SnppBackend {
 public:
  virtual ~SnppBackend() = default;
  virtual bool KnownPin(const std::string& pin) = 0;
  virtual bool IsUser(const std::string& user) = 0;
  virtual bool Login(const std::string& user, const std::string& password) = 0;
  // Checks and commits every page, all or none; `by` is who sent them.
  virtual SnppSendResult Send(const std::vector<SnppPage>& pages, const std::string& by) = 0;
};

struct SnppConfig {
  std::string peer;             // the client's address, recorded when it did not log in
  bool login_required = false;  // a client beyond loopback
  std::string hold_zone = "UTC";
  std::size_t max_line = 1024;
  std::size_t max_text = 16384;  // a message, MESSage or DATA
  std::size_t max_pagers = 1000;
  int max_bad = 10;
};

class SnppSession {
 public:
  SnppSession(const SnppConfig& config, SnppBackend& backend);

  static std::string Greeting();
  static std::string TooManyClients();
  // The idle time-out's farewell; Closing() is true after it.
  std::string IdleTimeout();

  // Reads `bytes` (any cut) and returns the replies to the lines completed.
  std::string Feed(std::string_view bytes, double now);
  // The conversation is over: write what Feed returned, then close.
  bool Closing() const { return closing_; }

 private:
  struct Options {
    std::optional<double> hold_until;
    std::optional<int> level;
    std::optional<bool> alert;
    bool Any() const { return hold_until || level || alert; }
  };
  struct Pager {
    std::string pin;
    Options own;
  };

  std::string Line(std::string_view line, double now);
  std::string Overlong(std::size_t dropped, bool ended);
  std::string DataLine(std::string_view line);
  std::string Command(std::string_view verb, std::string_view args, double now);
  std::string Page(std::string_view args);
  std::string Message(std::string_view args);
  std::string Data();
  std::string Send();
  std::string Login(std::string_view args);
  std::string Level(std::string_view args);
  std::string Alert(std::string_view args);
  std::string Hold(std::string_view args, double now);
  std::string Help() const;
  std::string Counted(std::string reply);
  void Reset();

  SnppConfig config_;
  SnppBackend& backend_;
  std::string partial_;       // a line not yet ended
  std::size_t overlong_ = 0;  // bytes of a too-long line dropped so far
  bool in_data_ = false;      // reading DATA's text
  bool data_too_long_ = false;
  std::size_t data_dropped_ = 0;
  std::string data_;
  int bad_in_a_row_ = 0;
  bool closing_ = false;
  std::string user_;     // logged in as
  std::string claimed_;  // a name given on loopback that is no configured user

  std::vector<Pager> pagers_;
  Options pending_;  // given since the last PAGEr
  std::optional<std::string> message_;
  std::string subject_;
  std::string caller_id_;
};

}  // namespace zentrel::gateway
