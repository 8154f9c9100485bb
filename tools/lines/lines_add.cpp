// Appending to the line configuration. The file is read and parsed first: a
// file that does not parse is left alone (adding to it would hide the fault).
#include "tools/lines/lines_add.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "telephony/lines_config.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;

std::string SamePort(const std::string& path) {
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  return ec ? path : real.string();
}

std::string ReadAll(const std::string& path, bool* exists) {
  std::ifstream in(path);
  *exists = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string ModemLineText(const AddRequest& request) {
  std::string text = "modem " + request.port;
  if (request.speed > 0) text += " --speed=" + std::to_string(request.speed);
  if (!request.init.empty()) text += " " + request.init;
  return text;
}

std::string AddModemLine(const std::string& path, const AddRequest& request) {
  if (path.empty()) return "no configuration file: HOME is not set";
  std::error_code ec;
  if (!fs::exists(request.port, ec)) return request.port + " does not exist";
  const std::string line = ModemLineText(request);
  const LinesConfig alone = ParseLinesConfig(line + "\n");
  if (!alone.error.empty()) return alone.error.substr(alone.error.find(':') + 2);
  bool exists = false;
  const std::string text = ReadAll(path, &exists);
  const LinesConfig current = ParseLinesConfig(text);
  if (!current.error.empty()) return path + " " + current.error + "; fix it first";
  for (const LineConfig& known : current.lines) {
    if (!known.port.empty() && SamePort(known.port) == SamePort(request.port)) {
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
