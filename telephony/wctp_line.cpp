// The wctp kind's row. The URL is taken apart by libcurl's own URL parser,
// the one that will post to it, so the check and the post agree on the
// host. Files are only looked at here: the security code is read when a
// batch is posted.
#include "telephony/wctp_line.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "telephony/line_words.h"

namespace zentrel {
namespace {

struct UrlParts {
  std::string scheme, host;
};

bool SplitUrl(const std::string& url, UrlParts* parts) {
  CURLU* handle = curl_url();
  if (handle == nullptr) return false;
  char* scheme = nullptr;
  char* host = nullptr;
  const bool ok = curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                  curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK;
  if (ok) *parts = {scheme, host};
  curl_free(scheme);
  curl_free(host);
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
  return line.LineName() + " carries pages, not a call: only the gateway's worker sends on it";
}

LineCheck Check(const LineConfig& line, const LineSettings&) {
  return Unusable(LineProblemKind::kOther, PagesOnly(line));
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

extern const LineKindOps kWctpLineKind = {"wctp", false, Parse, Name, Where, Check, Open};

}  // namespace zentrel
