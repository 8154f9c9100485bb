// The Hayes modem kind of line: a tty held open (locked, exclusive, HUPCL)
// from lineOpen to lineClose at the line's format (300 bit/s 7E1 unless the
// configuration asks for more), and one HayesCall per call. A number a dial
// command cannot carry safely is refused before the modem hears anything.
#include "seriallink/trace.h"
#include "telephony/dial_string.h"
#include "telephony/hayes_call.h"
#include "telephony/line_kind.h"
#include "telephony/modem_manager.h"

namespace zentrel {
namespace {

class ModemOpenLine : public IOpenLine {
 public:
  ModemOpenLine(LineConfig config, std::unique_ptr<TtyPort> port,
                HayesTimings timings)
      : config_(std::move(config)), port_(std::move(port)), timings_(timings) {}

  std::unique_ptr<ILineCall> MakeCall(const std::string& destination,
                                      CallStateReport report,
                                      std::string* refused) override {
    const std::string problem = DialStringProblem(destination);
    if (!problem.empty()) {
      *refused = "cannot dial on " + config_.LineName() + ": " + problem;
      return nullptr;
    }
    return std::make_unique<HayesCall>(*port_, port_->lines(), config_.init, destination,
                                       timings_, std::move(report));
  }

 private:
  LineConfig config_;
  std::unique_ptr<TtyPort> port_;
  HayesTimings timings_;
};

}  // namespace

LineCheck CheckModemLine(const LineConfig& line, const LineSettings& settings) {
  return CheckTtyLine(line.port, settings.tty);
}

std::unique_ptr<IOpenLine> OpenModemLine(const LineConfig& line,
                                         const LineSettings& settings,
                                         LineOpenFailure* failure) {
  TtyOpenError error;
  auto port = TtyPort::Open(line.port, line.format, settings.tty, &error);
  if (!port) {
    *failure = TtyOpenFailure(error);
    return nullptr;
  }
  if (!port->lock_warning().empty())
    OutputDebugStringA(line.LineName() + ": no lock: " + port->lock_warning() + "\n");
  OutputDebugStringA(line.LineName() + ": " + line.format.Text() + "\n");
  return std::make_unique<ModemOpenLine>(line, std::move(port), settings.modem);
}

}  // namespace zentrel
