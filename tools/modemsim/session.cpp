// The modem's command interpreter and the hand-over to the terminal. Echo is
// per byte as it arrives, the way a modem echoes typing; result codes are the
// verbose ones framed by CR LF. Any byte during the dial delay aborts the
// dial (NO CARRIER), as a CR does on a real modem.
#include "session.h"

#include <cctype>

namespace zentrel::modemsim {
namespace {

constexpr const char* kOk = "\r\nOK\r\n";
constexpr const char* kConnect = "\r\nCONNECT 300\r\n";
constexpr const char* kBusy = "\r\nBUSY\r\n";
constexpr const char* kNoAnswer = "\r\nNO ANSWER\r\n";
constexpr const char* kNoDialtone = "\r\nNO DIALTONE\r\n";
constexpr const char* kNoCarrier = "\r\nNO CARRIER\r\n";
constexpr const char* kError = "\r\nERROR\r\n";
constexpr const char* kNoDialTone = "\r\nNO DIAL TONE\r\n";
constexpr const char* kDelayed = "\r\nDELAYED\r\n";

// Numeric result codes, for a modem set to V0.
constexpr std::pair<std::string_view, std::string_view> kNumeric[] = {
    {"OK", "0"},    {"CONNECT 300", "1"},  {"CONNECT", "1"},     {"RING", "2"}, {"NO CARRIER", "3"},
    {"ERROR", "4"}, {"CONNECT 1200", "5"}, {"NO DIALTONE", "6"}, {"BUSY", "7"}, {"NO ANSWER", "8"},
};

char WithEvenParity(char c) {
  const auto bits = static_cast<unsigned char>(c & 0x7F);
  return static_cast<char>(__builtin_parity(bits) ? bits | 0x80 : bits);
}
constexpr std::size_t kMaxLine = 256;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string DialString(std::string_view rest) {
  while (!rest.empty() &&
         (Upper(rest.front()) == 'T' || Upper(rest.front()) == 'P' || rest.front() == ' ')) {
    rest.remove_prefix(1);
  }
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  return std::string(rest);
}

}  // namespace

CommandLine ParseCommandLine(std::string_view line) {
  CommandLine result;
  if (line.size() < 2 || Upper(line[0]) != 'A' || Upper(line[1]) != 'T') {
    return result;
  }
  result.is_at = true;
  std::size_t i = 2;
  while (i < line.size()) {
    const char c = Upper(line[i++]);
    if (c == 'D') {
      result.dial = DialString(line.substr(i));
      break;
    }
    if (c == 'E') result.echo = i < line.size() && line[i] != '0' && IsDigit(line[i]);
    if (c == 'Z') {
      result.echo = true;
      result.reset = true;
    }
    if (c == 'V') result.verbose = !(i < line.size() && line[i] == '0');
    if (c == 'H') result.hang_up = true;
    if (c == 'O') result.go_online = true;
    if (c == 'I') result.identify = true;
    if (c == '&' && i < line.size()) {
      if (Upper(line[i]) == 'F') result.echo = result.verbose = true;
      ++i;
    }
    // Skip the command's argument: digits, or an S register's "=value"/"?".
    while (i < line.size() && (IsDigit(line[i]) || line[i] == '=' || line[i] == '?')) {
      ++i;
    }
  }
  return result;
}

Session::Session(Scenario scenario, int slow_wakeups)
    : scenario_(scenario), slow_wakeups_(slow_wakeups), terminal_(scenario, slow_wakeups) {
  verbose_ = scenario_ != Scenario::kEchoNumeric;
}

std::string Session::Coded(std::string_view framed) const {
  if (verbose_) return std::string(framed);
  const std::string_view words = framed.substr(2, framed.size() - 4);
  for (const auto& [verbose, numeric] : kNumeric)
    if (verbose == words) return std::string(numeric) + "\r";
  return std::string(framed);
}

std::string Session::ConnectText() const {
  return Coded(scenario_ == Scenario::kConnectSuffix ? "\r\nCONNECT 1200/ARQ/V42BIS\r\n"
                                                     : kConnect);
}

Actions Session::Sent(Actions out) const {
  if (scenario_ != Scenario::kParity) return out;
  for (Action& action : out) {
    if (auto* send = std::get_if<SendBytes>(&action))
      for (char& c : send->bytes) c = WithEvenParity(c);
  }
  return out;
}

Actions Session::Receive(std::string_view bytes) {
  if (scenario_ == Scenario::kDeadModem) return {};
  return Sent(ReceiveBytes(bytes));
}

Actions Session::ReceiveBytes(std::string_view bytes) {
  Actions out;
  for (char byte : bytes) {
    switch (mode_) {
      case Mode::kCommand:
      case Mode::kOnlineCommand: FeedCommand(byte, out); break;
      case Mode::kDialing:
        mode_ = Mode::kCommand;
        out.push_back(SendBytes{Coded(kNoCarrier)});
        out.push_back(CallEnded{false});
        break;
      case Mode::kOnline: FeedOnline(byte, out); break;
      case Mode::kEnded: break;
    }
  }
  return out;
}

void Session::FeedOnline(char byte, Actions& out) {
  if (byte == '+' && quiet_ && pluses_ < 3) {
    ++pluses_;
  } else {
    quiet_ = false;
    pluses_ = 0;
  }
  terminal_.Feed(byte, out);  // the escape travels down the line as well
  EndIfTerminalGone(out);
}

Actions Session::GuardSilence() {
  Actions out;
  if (mode_ != Mode::kOnline) return out;
  if (quiet_ && pluses_ == 3 && scenario_ != Scenario::kIgnoresHangup) {
    mode_ = Mode::kOnlineCommand;
    out.push_back(SendBytes{Coded(kOk)});
  }
  quiet_ = true;
  pluses_ = 0;
  return Sent(out);
}

void Session::FeedCommand(char byte, Actions& out) {
  if (echo_) out.push_back(SendBytes{std::string(1, byte)});
  if (byte == '\r') {
    RunCommandLine(out);
    line_.clear();
  } else if (byte != '\n' && line_.size() < kMaxLine) {
    line_ += byte;
  }
}

void Session::RunCommandLine(Actions& out) {
  const CommandLine command = ParseCommandLine(line_);
  if (!command.is_at) return;  // a modem ignores what isn't a command
  if (command.echo) echo_ = *command.echo;
  if (command.reset) verbose_ = scenario_ != Scenario::kEchoNumeric;
  if (command.verbose) verbose_ = *command.verbose;
  if (mode_ == Mode::kOnlineCommand) {
    if (command.hang_up) {  // on hook: the terminal is gone, the port stays
      mode_ = Mode::kCommand;
      out.push_back(SendBytes{Coded(kOk)});
      out.push_back(CallEnded{false});
      return;
    }
    if (command.dial || command.go_online) {
      if (command.go_online) mode_ = Mode::kOnline;
      out.push_back(SendBytes{command.go_online ? ConnectText() : Coded(kError)});
      return;
    }
  }
  if (command.dial) {
    mode_ = Mode::kDialing;
    out.push_back(DialStarted{*command.dial});
    return;
  }
  if (command.identify) out.push_back(SendBytes{"\r\nZentrel emulated modem\r\n"});
  out.push_back(SendBytes{Coded(kOk)});
}

Actions Session::DialDone() {
  Actions out;
  if (mode_ != Mode::kDialing) return out;
  const char* failure = scenario_ == Scenario::kBusy         ? kBusy
                        : scenario_ == Scenario::kNoAnswer   ? kNoAnswer
                        : scenario_ == Scenario::kNoDialtone ? kNoDialtone
                        : scenario_ == Scenario::kNoDialTone ? kNoDialTone
                        : scenario_ == Scenario::kDelayed    ? kDelayed
                                                             : nullptr;
  if (failure) {
    mode_ = Mode::kCommand;
    out.push_back(SendBytes{Coded(failure)});
    out.push_back(CallEnded{false});
    return Sent(out);
  }
  mode_ = Mode::kOnline;
  terminal_ = TapTerminal(scenario_, slow_wakeups_);
  quiet_ = false;
  pluses_ = 0;
  out.push_back(SendBytes{ConnectText()});
  if (scenario_ == Scenario::kHangupAtConnect) {  // carrier lost at once
    mode_ = Mode::kEnded;
    out.push_back(SendBytes{Coded(kNoCarrier)});
    out.push_back(CallEnded{true});
  }
  return Sent(out);
}

Actions Session::IdleTimeout() {
  Actions out;
  if (mode_ != Mode::kOnline) return out;
  terminal_.IdleTimeout(out);
  EndIfTerminalGone(out);
  return Sent(out);
}

void Session::EndIfTerminalGone(Actions& out) {
  if (!terminal_.gone()) return;
  mode_ = Mode::kEnded;
  out.push_back(SendBytes{Coded(kNoCarrier)});
  out.push_back(CallEnded{true});
}

}  // namespace zentrel::modemsim
