// Appending to the line configuration. The file is read and parsed first: a
// file that does not parse is left alone (adding to it would hide the fault).
// The new line is written with its port and INIT quoted where they need it,
// and read back before it is added: what is written reads as what was given.
#include "tools/lines/lines_add.h"

#include <filesystem>
#include <fstream>

#include "telephony/line_words.h"
#include "telephony/lines_config.h"
#include "telephony/tty_lines.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;

std::string SamePort(const std::string& path) {
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  return ec ? path : real.string();
}

// Why `line` does not read back as `request`; "" when it does.
std::string ReadsBackWrong(const std::string& line, const AddRequest& request) {
  const LinesConfig alone = ParseLinesConfig(line + "\n");
  if (!alone.error.empty()) return alone.error.substr(alone.error.find(':') + 2);
  const auto* back = alone.lines.at(0).As<ModemLineFields>();
  const std::string init = request.init.empty() ? "ATZ" : request.init;
  if (back == nullptr || back->port != request.port || back->init != init ||
      (request.speed > 0 && back->format.speed != request.speed))
    return "the line would not read back as given: " + line;
  return "";
}

}  // namespace

std::string ModemLineText(const AddRequest& request) {
  std::string text = "modem " + QuoteLinesWord(request.port);
  if (request.speed > 0) text += " --speed=" + std::to_string(request.speed);
  if (!request.init.empty()) text += " " + QuoteLinesWord(request.init, true);
  return text;
}

std::string AddModemLine(const std::string& path, const AddRequest& request) {
  if (path.empty()) return "no configuration file: HOME is not set";
  std::error_code ec;
  if (!fs::exists(request.port, ec)) return request.port + " does not exist";
  if (HasControl(request.port)) return "the port's name holds a control character";
  if (HasControl(request.init))
    return "the INIT holds a control character (a line break would send two commands)";
  const std::string line = ModemLineText(request);
  const std::string wrong = ReadsBackWrong(line, request);
  if (!wrong.empty()) return wrong;
  std::string text;
  std::string why;
  if (fs::exists(fs::symlink_status(path, ec)) && !ReadLinesFile(path, &text, &why)) return why;
  const LinesConfig current = ParseLinesConfig(text);
  if (!current.error.empty()) return path + " " + current.error + "; fix it first";
  for (const LineConfig& known : current.lines) {
    const auto* tty = known.As<TtyLineFields>();
    if (tty != nullptr && !tty->port.empty() && SamePort(tty->port) == SamePort(request.port)) {
      return request.port + " is already listed (line " + std::to_string(known.line_number) + ")";
    }
  }
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::ofstream out(path, std::ios::app);
  const bool needs_newline = !text.empty() && text.back() != '\n';
  out << (needs_newline ? "\n" : "") << line << "\n";
  out.flush();
  if (!out) return "cannot write " + path;
  return "";
}

}  // namespace zentrel
