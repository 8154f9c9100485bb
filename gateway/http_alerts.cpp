// POST /alertmanager?pin=PIN[,PIN]: an alert group from Alertmanager or
// Grafana becomes one page per PIN (the query's PINs and those gateway.conf
// maps the group's receiver to), all or none, committed before the 200. A
// re-post of the same group within the dedupe window pages nobody (200 with
// the first post's pages). 4xx when the post can never be taken (the tools
// drop it: it is logged), 503 when it could not be taken now (they retry).
#include <algorithm>

#include "gateway/alert_dedupe.h"
#include "gateway/alert_payload.h"
#include "gateway/http_reply.h"
#include "gateway/http_routes.h"
#include "gateway/log.h"

namespace zentrel::gateway {

namespace {

using nlohmann::json;

std::vector<std::string> QueryPins(const httplib::Request& req) {
  std::vector<std::string> pins;
  for (std::size_t n = 0; n < req.get_param_value_count("pin"); ++n) {
    std::string list = req.get_param_value("pin", n) + ",";
    for (std::size_t start = 0, comma; (comma = list.find(',', start)) != std::string::npos;
         start = comma + 1) {
      if (comma > start) pins.push_back(list.substr(start, comma - start));
    }
  }
  return pins;
}

// The query's PINs, then the receiver's, each once. The receiver's hear of
// a resolved group only when it asks for that; the query's always do (the
// tool posted it because that webhook asked).
std::vector<std::string> AlertPins(const httplib::Request& req, const AlertReceiver* receiver,
                                   const AlertGroup& group) {
  std::vector<std::string> pins = QueryPins(req);
  if (receiver && (group.status != "resolved" || receiver->send_resolved)) {
    pins.insert(pins.end(), receiver->pins.begin(), receiver->pins.end());
  }
  std::vector<std::string> once;
  for (const std::string& pin : pins) {
    if (std::find(once.begin(), once.end(), pin) == once.end()) once.push_back(pin);
  }
  return once;
}

void Refuse(httplib::Response& res, int status, const std::string& code, const std::string& why) {
  Log("an alert post was refused (HTTP " + std::to_string(status) + "): " + why);
  ReplyError(res, status, code, why);
}

void PostAlerts(HttpContext& context, AlertDedupe& dedupe, const httplib::Request& req,
                httplib::Response& res, const std::string& caller) {
  if (!RequireContentType(req, res, "application/json")) return;
  auto parsed = ParseAlertGroup(req.body);
  if (auto* why = std::get_if<std::string>(&parsed)) {
    return Refuse(res, 400, "bad-request", "Not an alert group: " + *why + "; nothing was queued.");
  }
  const AlertGroup& group = std::get<AlertGroup>(parsed);
  const HttpSettings& http = context.settings.http;
  const auto found = http.receivers.find(group.receiver);
  const AlertReceiver* receiver = found == http.receivers.end() ? nullptr : &found->second;
  const std::vector<std::string> pins = AlertPins(req, receiver, group);
  if (pins.empty() && !receiver) {
    return Refuse(res, 400, "bad-request",
                  "No PIN for the receiver \"" + group.receiver +
                      "\": give ?pin=PIN or map it with alert-receiver; nothing was queued.");
  }
  if (pins.empty()) {  // a resolved group its receiver does not want
    return ReplyJson(res, 200, {{"ok", true}, {"ids", json::array()}, {"resolved", "not paged"}});
  }
  Request request;
  request.op = Op::kSubmit;
  request.via = "http";
  request.split = http.alert_split;
  const std::string text = AlertText(group, http.alert_template);
  for (const std::string& pin : pins) request.pages.push_back(SubmittedPage{pin, text});
  std::string key = AlertKey(group);
  for (const std::string& pin : pins) key += "\n" + pin;
  const json answer = context.daemon.Run([&](DaemonState& s) -> json {
    if (const auto* ids = dedupe.Seen(key, s.now)) {
      return {{"ok", true}, {"ids", *ids}, {"duplicate", true}};
    }
    json submitted = s.handler.SubmitBy(request, "token " + caller, s.now, s.accepting);
    if (submitted.value("ok", false))
      dedupe.Remember(key, submitted["ids"].get<std::vector<queue::PageId>>(), s.now);
    return submitted;
  });
  const int status = StatusOf(answer, 200);
  if (status >= 400 && status < 500) return Refuse(res, status, answer["code"], answer["error"]);
  ReplyJson(res, status, answer);
}

}  // namespace

void AddAlertRoutes(HttpRoutes& routes, HttpContext& context) {
  auto dedupe = std::make_shared<AlertDedupe>(context.settings.policy.dedupe_window);
  routes.Post("/alertmanager", Access::kToken,
              [&context, dedupe](const httplib::Request& req, httplib::Response& res,
                                 const std::string& caller) {
                PostAlerts(context, *dedupe, req, res, caller);
              });
}

}  // namespace zentrel::gateway
