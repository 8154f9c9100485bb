// The conversation of snpp_session.h. Each command is one small function
// that returns its reply line; Counted() keeps the run of 5xx replies, and
// the line cutter drops what is too long instead of holding it.
#include "gateway/snpp_session.h"

#include <algorithm>
#include <cctype>

#include "gateway/snpp_hold.h"

namespace zentrel::gateway {

namespace {

constexpr std::size_t kMaxDroppedData = 1 << 20;  // DATA past its bound, then the client goes

std::string Reply(int code, const std::string& text) {
  return std::to_string(code) + " " + text + "\r\n";
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The first word of `args`, and the rest after it.
std::string_view Word(std::string_view& args) {
  args = TrimLeft(args);
  std::size_t end = 0;
  while (end < args.size() && args[end] != ' ' && args[end] != '\t') ++end;
  const std::string_view word = args.substr(0, end);
  args = TrimLeft(args.substr(end));
  return word;
}

std::optional<int> SmallNumber(std::string_view s, int high) {
  if (s.empty() || s.size() > 3) return std::nullopt;
  int n = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > high) return std::nullopt;
  return n;
}

std::string Ids(const std::vector<std::int64_t>& ids) {
  std::string text;
  for (std::int64_t id : ids) text += (text.empty() ? "" : " ") + std::to_string(id);
  return text;
}

}  // namespace

SnppSession::SnppSession(const SnppConfig& config, SnppBackend& backend)
    : config_(config), backend_(backend) {}

std::string SnppSession::Greeting() {
  return Reply(220, "Zentrel SNPP gateway (levels 1, 2) ready");
}

std::string SnppSession::TooManyClients() {
  return Reply(421, "Too Many Connections, Try Again Later");
}

std::string SnppSession::IdleTimeout() {
  closing_ = true;
  return Reply(421, "Timeout, Goodbye");
}

std::string SnppSession::Feed(std::string_view bytes, double now) {
  std::string out;
  while (!bytes.empty() && !closing_) {
    const std::size_t newline = bytes.find('\n');
    const bool ended = newline != std::string_view::npos;
    const std::string_view piece = bytes.substr(0, ended ? newline : bytes.size());
    bytes.remove_prefix(ended ? newline + 1 : bytes.size());
    // The CR of a CRLF may stand one past the limit.
    if (overlong_ == 0 && partial_.size() + piece.size() <= config_.max_line + 1) {
      partial_.append(piece);
      if (!ended) break;
      std::string line;
      line.swap(partial_);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() <= config_.max_line) {
        out += Line(line, now);
        continue;
      }
      out += Overlong(line.size(), true);
      continue;
    }
    const std::size_t dropped = partial_.size() + piece.size();
    partial_.clear();
    out += Overlong(dropped, ended);
  }
  return out;
}

// A line past the limit is dropped as it comes, never held whole: one 500
// for it, and every further limit's worth counts as another bad line.
std::string SnppSession::Overlong(std::size_t dropped, bool ended) {
  const std::size_t before = overlong_;
  overlong_ += dropped;
  std::string out;
  if (in_data_) {
    data_too_long_ = true;
    data_.clear();
    data_dropped_ += dropped;
    if (data_dropped_ > kMaxDroppedData) {
      closing_ = true;
      out = Reply(421, "Message Far Too Long, Goodbye");
    }
  } else {
    const auto units = [this](std::size_t n) {
      return (n + config_.max_line - 1) / config_.max_line;
    };
    for (std::size_t n = units(before); n < units(overlong_) && !closing_; ++n) {
      out += Counted(n > 0 ? std::string()
                           : Reply(500, "Line Too Long (at most " +
                                            std::to_string(config_.max_line) + " bytes)"));
    }
  }
  if (ended) overlong_ = 0;
  return out;
}

std::string SnppSession::Line(std::string_view line, double now) {
  if (in_data_) return DataLine(line);
  std::string_view args = line;
  const std::string_view word = Word(args);
  std::string verb(word.substr(0, std::min<std::size_t>(4, word.size())));
  for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return Counted(Command(verb, TrimRight(args), now));
}

std::string SnppSession::DataLine(std::string_view line) {
  if (line == ".") {
    in_data_ = false;
    const bool too_long = data_too_long_;
    data_too_long_ = false;
    data_dropped_ = 0;
    if (too_long) {
      data_.clear();
      return Counted(Reply(
          550, "Error, Message Too Long (at most " + std::to_string(config_.max_text) + " bytes)"));
    }
    if (!data_.empty()) data_.pop_back();  // the last line's break
    if (data_.empty()) return Counted(Reply(550, "Error, Message Text Needed"));
    message_ = std::move(data_);
    data_.clear();
    return Counted(Reply(250, "Message OK"));
  }
  if (!line.empty() && line.front() == '.') line.remove_prefix(1);
  if (data_too_long_) {
    data_dropped_ += line.size();
  } else if (data_.size() + line.size() > config_.max_text) {
    data_too_long_ = true;
    data_.clear();
  } else {
    // Every line ends with a break that joins it to the next; the last's is
    // dropped when the text ends.
    data_.append(line);
    data_ += '\n';
    return {};
  }
  if (data_dropped_ > kMaxDroppedData) {
    closing_ = true;
    return Reply(421, "Message Far Too Long, Goodbye");
  }
  return {};
}

std::string SnppSession::Command(std::string_view verb, std::string_view args, double now) {
  const bool needs_login = verb == "PAGE" || verb == "MESS" || verb == "DATA" || verb == "SEND";
  if (needs_login && config_.login_required && user_.empty()) {
    return Reply(550, "Error, Log In First (LOGIn user password)");
  }
  if (verb == "PAGE") return Page(args);
  if (verb == "MESS") return Message(args);
  if (verb == "DATA") return Data();
  if (verb == "SEND") return Send();
  if (verb == "RESE") {
    Reset();
    return Reply(250, "Reset OK");
  }
  if (verb == "QUIT") {
    closing_ = true;
    return Reply(221, "OK, Goodbye");
  }
  if (verb == "HELP") return Help();
  if (verb == "LOGI") return Login(args);
  if (verb == "LEVE") return Level(args);
  if (verb == "ALER") return Alert(args);
  if (verb == "HOLD") return Hold(args, now);
  if (verb == "COVE") return Reply(550, "Error, No Alternate Coverage Areas Here");
  if (verb == "CALL" || verb == "SUBJ") {
    if (args.empty()) return Reply(550, "Error, Text Needed");
    (verb == "CALL" ? caller_id_ : subject_) = std::string(args);
    return Reply(250, verb == "CALL" ? "Caller ID Accepted" : "Message Subject Accepted");
  }
  return Reply(500, "Command Not Implemented");
}

std::string SnppSession::Page(std::string_view args) {
  // A pager's password may follow its ID; this gateway has none to check.
  const std::string pin(Word(args));
  if (pin.empty()) return Reply(550, "Error, Pager ID Needed");
  if (pagers_.size() >= config_.max_pagers) {
    return Reply(550, "Error, At Most " + std::to_string(config_.max_pagers) + " Pagers At Once");
  }
  if (!backend_.KnownPin(pin)) return Reply(550, "Error, Invalid Pager ID");
  pagers_.push_back(Pager{pin, pending_});
  pending_ = {};
  return Reply(250, "Pager ID Accepted");
}

std::string SnppSession::Message(std::string_view args) {
  if (message_) return Reply(503, "Error, Message Already Entered");
  if (args.empty()) return Reply(550, "Error, Message Text Needed");
  if (args.size() > config_.max_text) return Reply(550, "Error, Message Too Long");
  message_ = std::string(args);
  return Reply(250, "Message OK");
}

std::string SnppSession::Data() {
  if (message_) return Reply(503, "Error, Message Already Entered");
  in_data_ = true;
  data_.clear();
  return Reply(354, "Begin Input; End with <CRLF>'.'<CRLF>");
}

std::string SnppSession::Send() {
  if (pagers_.empty()) return Reply(503, "Error, Pager ID Needed");
  if (!message_) return Reply(503, "Error, Message Needed");
  const std::string& text = *message_;
  std::vector<SnppPage> pages;
  for (const Pager& p : pagers_) {
    // Options after the last PAGEr stand for every pager without its own.
    const Options& o = p.own.Any() ? p.own : pending_;
    pages.push_back(SnppPage{p.pin, text, o.hold_until.value_or(0), o.level.value_or(1),
                             o.alert.value_or(false), subject_, caller_id_});
  }
  const std::string by = !user_.empty()      ? "user " + user_
                         : !claimed_.empty() ? "peer " + config_.peer + " (says " + claimed_ + ")"
                                             : "peer " + config_.peer;
  const SnppSendResult result = backend_.Send(pages, by);
  if (result.ids.empty()) {
    return Reply(result.unavailable ? 554 : 550, "Error, " + result.error);
  }
  Reset();
  return Reply(250, "Message Sent Successfully (queued as " + Ids(result.ids) + ")");
}

// On loopback a login is optional, and clients such as sendpage log in with
// their own account's name unasked: a name that is no configured user is
// taken there without a password and recorded beside the address as said,
// not verified. A configured user always needs the right password.
std::string SnppSession::Login(std::string_view args) {
  const std::string user(Word(args));
  if (user.empty()) return Reply(550, "Error, Login ID Needed");
  if (backend_.Login(user, std::string(args))) {
    user_ = user;
    claimed_.clear();
    return Reply(250, "Login Accepted");
  }
  if (config_.login_required || backend_.IsUser(user) || !args.empty()) {
    return Reply(550, "Error, Invalid Login");
  }
  claimed_ = user;
  return Reply(250, "Login Accepted (not verified: loopback)");
}

std::string SnppSession::Level(std::string_view args) {
  const auto level = SmallNumber(args, 11);
  if (!level) return Reply(550, "Error, Invalid Service Level (0 to 11)");
  pending_.level = *level;
  return Reply(250, "Service Level Accepted");
}

std::string SnppSession::Alert(std::string_view args) {
  const auto alert = SmallNumber(args, 1);
  if (!alert) return Reply(550, "Error, Invalid Alert Parameter (0 or 1)");
  pending_.alert = *alert == 1;
  return Reply(250, "Alert Override Accepted");
}

std::string SnppSession::Hold(std::string_view args, double now) {
  const auto when = ParseHoldTime(args, config_.hold_zone);
  if (!when) return Reply(550, "Error, Invalid Delivery Date/Time");
  if (*when < now) return Reply(550, "Error, Delivery Date/Time Has Passed");
  pending_.hold_until = *when;
  return Reply(250, "Delayed Messaging Selected");
}

std::string SnppSession::Help() const {
  static constexpr const char* kLines[] = {
      "Commands (the first four letters count):",
      "LOGIn <user> [password]    PAGEr <pager ID>",
      "MESSage <text>             DATA (text ends with a lone '.')",
      "SUBJect <text>             CALLerid <caller>",
      "LEVEl <0-11> (0 first)     ALERt <0|1>",
      "HOLDuntil YYMMDDHHMMSS [+/-HHMM]",
      "COVErage (none here)       RESEt",
      "SEND                       QUIT",
      "HELP",
  };
  std::string out;
  for (const char* line : kLines) out += Reply(214, line);
  return out + Reply(250, "End of Help Information");
}

std::string SnppSession::Counted(std::string reply) {
  if (!reply.empty() && reply[0] != '5') {
    bad_in_a_row_ = 0;
    return reply;
  }
  if (++bad_in_a_row_ >= config_.max_bad && !closing_) {
    closing_ = true;
    reply += Reply(421, "Too Many Errors, Goodbye");
  }
  return reply;
}

void SnppSession::Reset() {
  pagers_.clear();
  pending_ = {};
  message_.reset();
  subject_.clear();
  caller_id_.clear();
}

}  // namespace zentrel::gateway
