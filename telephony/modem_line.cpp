// The Hayes modem kind of line: a tty held open (locked, exclusive, HUPCL)
// from lineOpen to lineClose at the line's format (300 bit/s 7E1 unless the
// configuration asks for more), and one HayesCall per call. The line's check
// opens the port and sends its INIT: a modem that does not answer OK in time
// (silent, garbage, ERROR) is passed over for the next line with what it
// did; one that answers keeps its port open for the first call, which goes
// on from there. A number a dial command cannot carry safely is refused
// before the modem hears anything.
// Its lines.conf line: modem PORT [--speed=N] [--format=7E1] [--answer-ms=N]
// [INIT]; the options come before INIT and start with "--", which no AT
// command does.
#include "seriallink/trace.h"
#include "telephony/dial_string.h"
#include "telephony/hayes_call.h"
#include "telephony/line_words.h"
#include "telephony/modem_chat.h"
#include "telephony/tty_lines.h"

namespace zentrel {
namespace {

// The port the check set the modem up on, for the first call.
class SetUpPort : public LineReady {
 public:
  explicit SetUpPort(std::unique_ptr<TtyPort> port) : port_(std::move(port)) {}
  std::unique_ptr<TtyPort> Take() { return std::move(port_); }

 private:
  std::unique_ptr<TtyPort> port_;
};

class ModemOpenLine : public IOpenLine {
 public:
  ModemOpenLine(LineConfig config, std::unique_ptr<TtyPort> port, HayesTimings timings, bool set_up)
      : config_(std::move(config)),
        init_(config_.As<ModemLineFields>()->init),
        port_(std::move(port)),
        timings_(timings),
        set_up_(set_up) {}

  std::unique_ptr<ILineCall> MakeCall(const std::string& destination, CallStateReport report,
                                      std::string* refused) override {
    const std::string problem = DialStringProblem(destination);
    if (!problem.empty()) {
      *refused = problem;
      return nullptr;
    }
    const bool set_up = set_up_;
    set_up_ = false;  // a later call sets the modem up itself
    return std::make_unique<HayesCall>(*port_, port_->lines(), init_, destination, timings_,
                                       std::move(report), set_up);
  }

 private:
  LineConfig config_;
  std::string init_;
  std::unique_ptr<TtyPort> port_;
  HayesTimings timings_;
  bool set_up_;
};

const ModemLineFields& Fields(const LineConfig& line) { return *line.As<ModemLineFields>(); }

// The INIT: one quoted word, or the rest of the line as it stands.
std::string ReadInit(LineWords& words, ModemLineFields& modem) {
  const std::string_view rest = words.Left();
  if (rest.empty()) {
    modem.init = "ATZ";
  } else if (rest.front() == '"') {
    modem.init = words.Next();
    if (!words.Left().empty())
      return "unexpected " + QuotedWord(words.Left()) + " after the quoted INIT";
  } else if (rest.find('"') != std::string_view::npos) {
    return "a quote inside INIT " + QuotedWord(rest) + ": quote the whole INIT";
  } else {
    modem.init = rest;
  }
  if (HasControl(modem.init)) return "a control character in INIT";
  return {};
}

// How long the modem gets to answer each command, from 100 ms to ten minutes.
std::string ReadAnswerTime(std::string_view word, ModemLineFields& modem) {
  int ms = 0;
  for (char c : word) {
    if (c < '0' || c > '9' || ms > 600000) return "bad answer time " + QuotedWord(word);
    ms = ms * 10 + (c - '0');
  }
  if (word.empty() || ms < 100 || ms > 600000)
    return "answer time " + QuotedWord(word) + " is not 100 to 600000 ms";
  modem.answer_ms = ms;
  return {};
}

// PORT, `--speed=N`, `--format=7E1` and `--answer-ms=N`, then the init string.
std::string ParseModem(LineWords& words, ModemLineFields& modem) {
  modem.port = words.Next();
  if (modem.port.empty()) return "modem without a port";
  while (words.Left().substr(0, 2) == "--") {
    const std::string option = words.Next();
    const std::string_view o = option;
    std::string error;
    if (o.substr(0, 8) == "--speed=")
      error = ReadSpeed(o.substr(8), &modem.format);
    else if (o.substr(0, 9) == "--format=")
      error = ReadFrame(o.substr(9), &modem.format);
    else if (o.substr(0, 12) == "--answer-ms=")
      error = ReadAnswerTime(o.substr(12), modem);
    else
      error = "unknown modem option " + QuotedWord(o) + " (--speed=N, --format=7E1, --answer-ms=N)";
    if (!error.empty()) return error;
  }
  return ReadInit(words, modem);
}

std::string Parse(LineWords& words, LineConfig* line) {
  auto modem = std::make_shared<ModemLineFields>();
  const std::string error = ParseModem(words, *modem);
  line->fields = std::move(modem);
  return error;
}

std::string Name(const LineConfig& line) { return "Modem on " + Fields(line).port; }

std::string Where(const LineConfig& line) { return Fields(line).port; }

HayesTimings TimingsOf(const LineConfig& line, const LineSettings& settings) {
  HayesTimings timings = settings.modem;
  if (Fields(line).answer_ms > 0)
    timings.command_timeout = std::chrono::milliseconds(Fields(line).answer_ms);
  return timings;
}

std::unique_ptr<TtyPort> OpenPort(const LineConfig& line, const LineSettings& settings,
                                  LineOpenFailure* failure) {
  const ModemLineFields& modem = Fields(line);
  TtyOpenError error;
  auto port = TtyPort::Open(modem.port, modem.format, settings.tty, &error);
  if (!port) {
    *failure = TtyOpenFailure(error);
    return nullptr;
  }
  if (!port->lock_warning().empty())
    OutputDebugStringA(line.LineName() + ": no lock: " + port->lock_warning() + "\n");
  OutputDebugStringA(line.LineName() + ": " + modem.format.Text() + "\n");
  return port;
}

// What the modem did instead of OK, for the user.
LineCheck NotSetUp(const std::string& init, const ChatAnswer& answer,
                   std::chrono::milliseconds limit) {
  using End = ChatAnswer::End;
  const bool garbage = answer.end == End::kTimeout && !answer.lines.empty();
  std::string said = answer.end == End::kResult ? " answered \"" + answer.result_text + "\""
                     : answer.end == End::kTimeout
                         ? " got no answer within " + std::to_string(limit.count()) + " ms"
                         : ": the port failed";
  if (garbage) said += " (only \"" + answer.lines.front() + "\")";
  const bool bad = answer.end == End::kResult || garbage;
  return Unusable(bad ? LineProblemKind::kBadAnswer : LineProblemKind::kNoAnswer,
                  "the modem did not set up: " + init + said);
}

// The port is looked at first (missing, held: said without opening it),
// then opened and the INIT sent; an OK keeps the port for the first call.
LineCheck Check(const LineConfig& line, const LineSettings& settings) {
  LineCheck check = CheckTtyLine(Fields(line).port, settings.tty);
  if (!check.usable) return check;
  LineOpenFailure failure;
  auto port = OpenPort(line, settings, &failure);
  if (!port) return Unusable(failure.problem.kind, failure.problem.cause, failure.problem.system);
  const HayesTimings timings = TimingsOf(line, settings);
  const std::string& init = Fields(line).init;
  const ChatAnswer answer = Chat(*port, init, timings.command_timeout, timings.line_end_grace);
  if (answer.end != ChatAnswer::End::kResult || answer.result != HayesKind::kOk)
    return NotSetUp(init, answer, timings.command_timeout);
  check.ready = std::make_shared<SetUpPort>(std::move(port));
  return check;
}

std::unique_ptr<IOpenLine> Open(const LineConfig& line, const LineSettings& settings,
                                std::shared_ptr<LineReady> ready, LineOpenFailure* failure) {
  auto set_up = std::dynamic_pointer_cast<SetUpPort>(ready);
  std::unique_ptr<TtyPort> port = set_up ? set_up->Take() : nullptr;
  const bool was_set_up = port != nullptr;
  if (!port) port = OpenPort(line, settings, failure);
  if (!port) return nullptr;
  return std::make_unique<ModemOpenLine>(line, std::move(port), TimingsOf(line, settings),
                                         was_set_up);
}

}  // namespace

extern const LineKindOps kModemLineKind = {"modem", true, Parse, Name, Where, Check, Open, false};

}  // namespace zentrel
