// The wctp kind's row. The URL is taken apart by libcurl's own URL parser,
// the one that will post to it, so the check and the post agree on the
// host. The check reaches the host's port (and lets go at once: each page
// makes its own request), so a gateway that is down is passed over for the
// next line as a TCP line's is. Files are only looked at here: the security
// code is read when a batch is posted.
#include "telephony/wctp_line.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "seriallink/net_connect.h"
#include "telephony/line_words.h"

namespace zentrel {
namespace {

struct UrlParts {
  std::string scheme, host, port;
};

bool SplitUrl(const std::string& url, UrlParts* parts) {
  CURLU* handle = curl_url();
  if (handle == nullptr) return false;
  char* scheme = nullptr;
  char* host = nullptr;
  char* port = nullptr;
  const bool ok = curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK;
  if (ok) *parts = {scheme, host, port};
  curl_free(scheme);
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(handle);
  return ok;
}

// "localhost" (which libcurl never asks a resolver for), ::1, or an IPv4
// address in 127.0.0.0/8 written as one (not a name starting "127.").
bool IsLoopback(const std::string& host) {
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  return host == "localhost" || host == "[::1]" || host == "::1";
}

std::string FileProblem(const std::string& what, const std::string& path) {
  if (path.empty() || ::access(path.c_str(), R_OK) == 0) return {};
  return "cannot read the " + what + " " + path + ": " + std::strerror(errno);
}

// The URL, then sender=, security-file= and ca= in any order.
std::string Parse(LineWords& words, LineConfig* line) {
  auto wctp = std::make_shared<WctpLineFields>();
  line->fields = wctp;
  wctp->url = words.Next();
  if (wctp->url.empty()) return "wctp without a URL";
  if (!wctp->url.starts_with("https://") && !wctp->url.starts_with("http://"))
    return "the wctp URL " + QuotedWord(wctp->url) + " is not https://...";
  for (std::string word = words.Next(); !word.empty(); word = words.Next()) {
    const std::string_view w = word;
    if (w.starts_with("sender=") && w.size() > 7)
      wctp->sender = w.substr(7);
    else if (w.starts_with("security-file=") && w.size() > 14)
      wctp->security_file = w.substr(14);
    else if (w.starts_with("ca=") && w.size() > 3)
      wctp->ca_file = w.substr(3);
    else
      return "unknown wctp option " + QuotedWord(w) + " (sender=ID, security-file=FILE, ca=FILE)";
  }
  return {};
}

std::string Where(const LineConfig& line) { return line.As<WctpLineFields>()->url; }

std::string Name(const LineConfig& line) { return "WCTP to " + Where(line); }

std::string PagesOnly(const LineConfig& line) {
  return line.LineName() + " carries pages, not a call: its sender posts them";
}

LineProblemKind ConnectProblemKind(int error_number) {
  switch (error_number) {
    case ECONNREFUSED: return LineProblemKind::kRefused;
    case ETIMEDOUT: return LineProblemKind::kNoAnswer;
    default: return LineProblemKind::kUnreachable;
  }
}

// Usable when its setup is sound and something listens at its host's port.
LineCheck Check(const LineConfig& line, const LineSettings& settings) {
  const WctpLineFields& wctp = *line.As<WctpLineFields>();
  if (std::string why = WctpSetupProblem(wctp); !why.empty())
    return Unusable(LineProblemKind::kOther, std::move(why));
  UrlParts parts;
  SplitUrl(wctp.url, &parts);  // the setup check has read it
  std::string host = parts.host;
  if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  std::string error;
  int error_number = 0;
  const int fd =
      ConnectTcp(host, parts.port, settings.direct.check_timeout, -1, &error, &error_number);
  if (fd < 0) {
    return Unusable(ConnectProblemKind(error_number),
                    "the WCTP gateway cannot be reached: " + error,
                    error_number == ETIMEDOUT ? "" : error);
  }
  ::close(fd);
  return {};
}

std::unique_ptr<IOpenLine> Open(const LineConfig& line, const LineSettings&,
                                std::shared_ptr<LineReady>, LineOpenFailure* failure) {
  failure->code = LINEERR_NODEVICE;
  failure->problem.kind = LineProblemKind::kOther;
  failure->problem.cause = PagesOnly(line);
  return nullptr;
}

}  // namespace

std::string WctpUrlRefusal(const std::string& url) {
  UrlParts parts;
  if (!SplitUrl(url, &parts)) return "\"" + url + "\" is not a URL";
  if (parts.scheme == "https") return {};
  if (parts.scheme == "http" && IsLoopback(parts.host)) return {};
  if (parts.scheme == "http")
    return "pages go to " + url + " only over https (plain http only to this machine)";
  return "\"" + url + "\" is not an https:// URL";
}

std::string WctpSetupProblem(const WctpLineFields& line) {
  std::string why = WctpUrlRefusal(line.url);
  if (why.empty()) why = FileProblem("security file", line.security_file);
  if (why.empty()) why = FileProblem("CA file", line.ca_file);
  return why;
}

extern const LineKindOps kWctpLineKind = {"wctp", false, Parse, Name, Where, Check, Open, true};

}  // namespace zentrel
