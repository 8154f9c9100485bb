// RunWctpBatch: the security code is read once, then each page goes out in
// order while the batch has time left and no signal came. A POST that never
// left (no connection) tells the page "not sent"; one that left and got no
// answer tells it nothing, so the queue marks it as possibly delivered.
#include "delivery/wctp_batch.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <memory>

#include "delivery/interruption.h"
#include "delivery/wctp_xml.h"
#include "tap/pages.h"
#include "telephony/wctp_line.h"

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;

// The most of the carrier's answer that is read.
constexpr std::size_t kMaxAnswer = 64 * 1024;

struct Post {
  bool sent = false;      // the request left (a connection was made)
  bool answered = false;  // an HTTP answer came
  long status = 0;
  std::string body;
  std::string error;  // libcurl's words when not answered
  bool timed_out = false;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* to) {
  auto* body = static_cast<std::string*>(to);
  if (body->size() + size * count > kMaxAnswer) return 0;
  body->append(data, size * count);
  return size * count;
}

bool NothingLeft(CURLcode code) {
  return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
         code == CURLE_SSL_CONNECT_ERROR || code == CURLE_PEER_FAILED_VERIFICATION ||
         code == CURLE_SSL_CACERT_BADFILE || code == CURLE_UNSUPPORTED_PROTOCOL;
}

// libcurl asks about once a second while a POST is under way.
int AbortWhenStopped(void* events, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const IBatchEvents*>(events)->Stopped() ? 1 : 0;
}

Post PostXml(const WctpLineFields& line, const std::string& xml, long timeout_ms,
             const IBatchEvents& events) {
  Post post;
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return {false, false, 0, "", "libcurl could not start", false};
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, line.url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, xml.c_str());
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(xml.size()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeout_ms);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &post.body);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, AbortWhenStopped);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &events);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  if (!line.ca_file.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, line.ca_file.c_str());
  const CURLcode code = curl_easy_perform(c);
  curl_slist_free_all(headers);
  post.sent = !NothingLeft(code);
  post.answered = code == CURLE_OK;
  post.timed_out = code == CURLE_OPERATION_TIMEDOUT;
  if (!post.answered) post.error = curl_easy_strerror(code);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &post.status);
  return post;
}

// The page's outcome from the POST; `stop` when no further page should go.
Outcome OutcomeOf(const Post& post, const WctpLineFields& line, bool* stop) {
  *stop = true;
  if (!post.answered)
    return {Delivery::kNotSent, post.timed_out ? Reason::kTimeOut : Reason::kLineUnusable,
            line.url + ": " + post.error};
  if (post.status < 200 || post.status > 299)
    return {Delivery::kNotSent, Reason::kLineUnusable,
            line.url + " answered HTTP " + std::to_string(post.status)};
  const WctpAnswer answer = ReadWctpAnswer(post.body);
  const std::string words = std::to_string(answer.code) + " " + answer.text;
  switch (answer.kind) {
    case WctpAnswer::Kind::kSuccess:
      *stop = false;
      return {Delivery::kAccepted, Reason::kNone, words};
    case WctpAnswer::Kind::kFailure:
      if (answer.code >= 300 && answer.code < 500) {
        *stop = false;
        return {Delivery::kRefused, Reason::kTerminalRefused, words};
      }
      return {Delivery::kNotSent, Reason::kLineUnusable, words};
    case WctpAnswer::Kind::kUnreadable: break;
  }
  return {Delivery::kNotSent, Reason::kLineUnusable, line.url + ": " + answer.text};
}

std::string UtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  return text;
}

// The security file's first line, without blanks at its end; false when
// the file cannot be read.
bool SecurityCode(const WctpLineFields& line, std::string* code, std::string* why) {
  if (line.security_file.empty()) return true;
  std::ifstream in(line.security_file);
  if (!in || !std::getline(in, *code)) {
    *why = "cannot read the security file " + line.security_file;
    return false;
  }
  while (!code->empty() && std::isspace(static_cast<unsigned char>(code->back()))) code->pop_back();
  return true;
}

std::vector<std::string> Parts(const BatchCall& batch, const std::string& text) {
  if (text.size() <= batch.max_chars || !batch.split)
    return {std::string(tap::CutMessage(text, batch.max_chars))};
  return tap::SplitMessage(text, batch.max_chars).pages;
}

BatchEnd NotSent(Reason reason, std::string words) {
  return {false, {Delivery::kNotSent, reason, std::move(words)}};
}

}  // namespace

BatchEnd RunWctpBatch(const BatchCall& batch, const LineConfig& config, IBatchEvents& events,
                      std::FILE* err) {
  const auto* fields = config.As<WctpLineFields>();
  if (fields == nullptr)
    return NotSent(Reason::kLineUnusable, config.LineName() + " is no WCTP line");
  const WctpLineFields& line = *fields;
  WctpPage page{line.sender, "", "", "", ""};
  std::string why = WctpSetupProblem(line);
  if (!why.empty() || !SecurityCode(line, &page.security_code, &why)) {
    std::fprintf(err, "%s\n", why.c_str());
    return NotSent(Reason::kLineUnusable, why);
  }
  InCall in_call;
  const auto deadline = Clock::now() + std::chrono::seconds(batch.timeout_seconds);
  events.Connected(config.LineName());
  for (std::size_t i = 0; i < batch.pages.size(); ++i) {
    if (events.Stopped() || InterruptingSignal() != 0)
      return NotSent(Reason::kInterrupted, "the batch was stopped");
    if (Clock::now() >= deadline) return NotSent(Reason::kTimeOut, "the batch's time is up");
    if (!events.Sending(i)) return NotSent(Reason::kInterrupted, "the batch was stopped");
    const auto since = Clock::now();
    page.recipient = batch.pages[i].pin;
    Outcome outcome{Delivery::kAccepted, Reason::kNone, ""};
    bool stop = false;
    for (const std::string& part : Parts(batch, batch.pages[i].text)) {
      page.text = part;
      page.timestamp = UtcTimestamp();
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      const Post post = PostXml(
          line, WctpSubmitRequest(page),
          std::max<long>(1, std::min<long>(left.count(), kWctpPostLimit.count() * 1000)), events);
      if (post.sent && !post.answered && events.Stopped())
        return NotSent(Reason::kCallDropped,
                       "the batch was stopped during a post: the page may have arrived");
      if (post.sent && !post.answered) {
        // It may have arrived: no outcome, so the page is marked as such.
        return NotSent(post.timed_out ? Reason::kTimeOut : Reason::kCallDropped,
                       line.url + ": " + post.error);
      }
      outcome = OutcomeOf(post, line, &stop);
      if (outcome.delivery != Delivery::kAccepted) break;
    }
    events.PageEnded(i, outcome,
                     std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since));
    if (stop) return NotSent(outcome.reason, outcome.words);
  }
  return {true, {Delivery::kAccepted, Reason::kNone, ""}};
}

}  // namespace zentrel
