// The port listing and the probe. Names sort so that ttyS2 comes before
// ttyS10; a by-id link and the device it points at count as one port.
#include "tools/lines/port_probe.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "telephony/modem_chat.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;

// The family prefix and the number, for ordering ttyS2 before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto digits = [](const std::string& s) { return s.find_first_of("0123456789"); };
  const std::string pa = a.substr(0, digits(a)), pb = b.substr(0, digits(b));
  if (pa != pb || a.size() == b.size()) return a < b;
  return a.size() < b.size();
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

std::string Canonical(const fs::path& path) {
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  return ec ? path.string() : real.string();
}

}  // namespace

std::vector<std::string> CandidatePorts(const std::string& dev) {
  std::vector<std::string> ports;
  std::set<std::string> seen;
  const fs::path by_id = fs::path(dev) / "serial" / "by-id";
  for (const std::string& name : Entries(by_id)) {
    ports.push_back((by_id / name).string());
    seen.insert(Canonical(by_id / name));
  }
  for (const char* family : {"ttyS", "ttyUSB", "ttyACM"}) {
    const std::string prefix = family;
    for (const std::string& name : Entries(dev)) {
      if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) continue;
      if (name.find_first_not_of("0123456789", prefix.size()) != std::string::npos) continue;
      const fs::path path = fs::path(dev) / name;
      if (seen.insert(Canonical(path)).second) ports.push_back(path.string());
    }
  }
  return ports;
}

ProbeResult ProbePort(const std::string& port, const ProbeOptions& options) {
  ProbeResult result;
  result.port = port;
  TtyOpenError error;
  auto tty = TtyPort::Open(port, options.format, options.port, &error);
  if (!tty) {
    result.why_not = error.text;
    return result;
  }
  const ChatAnswer at = Chat(*tty, "AT", options.limit);
  if (at.end != ChatAnswer::End::kResult || at.result != HayesKind::kOk) {
    result.why_not = "no modem: AT got " + ChatEndText(at, options.limit);
    return result;
  }
  result.answered = true;
  const ChatAnswer ati = Chat(*tty, "ATI", options.limit);
  for (const std::string& line : ati.lines) {
    result.identity += (result.identity.empty() ? "" : " / ") + line;
  }
  if (ati.end != ChatAnswer::End::kResult || ati.result != HayesKind::kOk) {
    result.identity += (result.identity.empty() ? "ATI got " : " (ATI got ") +
                       ChatEndText(ati, options.limit) + (result.identity.empty() ? "" : ")");
  }
  return result;
}

std::string ProbeLine(const ProbeResult& result) {
  if (!result.answered) return result.port + ": " + result.why_not;
  return result.port + ": modem answered" +
         (result.identity.empty() ? std::string() : " (" + result.identity + ")");
}

}  // namespace zentrel
