// The Hayes modem kind of line: a tty held open (locked, exclusive, HUPCL)
// from lineOpen to lineClose at the line's format (300 bit/s 7E1 unless the
// configuration asks for more), and one HayesCall per call. A number a dial
// command cannot carry safely is refused before the modem hears anything.
// Its lines.conf line: modem PORT [--speed=N] [--format=7E1] [INIT]; the
// options come before INIT and start with "--", which no AT command does.
#include "seriallink/trace.h"
#include "telephony/dial_string.h"
#include "telephony/hayes_call.h"
#include "telephony/line_words.h"
#include "telephony/tty_lines.h"

namespace zentrel {
namespace {

class ModemOpenLine : public IOpenLine {
 public:
  ModemOpenLine(LineConfig config, std::unique_ptr<TtyPort> port,
                HayesTimings timings)
      : config_(std::move(config)),
        init_(config_.As<ModemLineFields>()->init),
        port_(std::move(port)),
        timings_(timings) {}

  std::unique_ptr<ILineCall> MakeCall(const std::string& destination,
                                      CallStateReport report,
                                      std::string* refused) override {
    const std::string problem = DialStringProblem(destination);
    if (!problem.empty()) {
      *refused = "cannot dial on " + config_.LineName() + ": " + problem;
      return nullptr;
    }
    return std::make_unique<HayesCall>(*port_, port_->lines(), init_, destination,
                                       timings_, std::move(report));
  }

 private:
  LineConfig config_;
  std::string init_;
  std::unique_ptr<TtyPort> port_;
  HayesTimings timings_;
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

// PORT, `--speed=N` and `--format=7E1`, then the init string.
std::string ParseModem(LineWords& words, ModemLineFields& modem) {
  modem.port = words.Next();
  if (modem.port.empty()) return "modem without a port";
  while (words.Left().substr(0, 2) == "--") {
    const std::string option = words.Next();
    const std::string_view o = option;
    std::string error;
    if (o.substr(0, 8) == "--speed=") error = ReadSpeed(o.substr(8), &modem.format);
    else if (o.substr(0, 9) == "--format=") error = ReadFrame(o.substr(9), &modem.format);
    else error = "unknown modem option " + QuotedWord(o) + " (--speed=N, --format=7E1)";
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

LineCheck Check(const LineConfig& line, const LineSettings& settings) {
  return CheckTtyLine(Fields(line).port, settings.tty);
}

std::unique_ptr<IOpenLine> Open(const LineConfig& line, const LineSettings& settings,
                                std::shared_ptr<LineReady>, LineOpenFailure* failure) {
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
  return std::make_unique<ModemOpenLine>(line, std::move(port), settings.modem);
}

}  // namespace

extern const LineKindOps kModemLineKind = {"modem", true, Parse, Name, Where, Check, Open};

}  // namespace zentrel
