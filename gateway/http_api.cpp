// The JSON API for programs, over the socket's own requests and answers:
// POST /api/v1/pages ({"pin" or "pins", "text", optional hold_until,
// priority, split, max_chars}) queues one page per PIN, all or none, and
// answers 202 with the ids once committed; GET /api/v1/pages (the newest
// 100) and /api/v1/pages/ID show pages with their attempts; DELETE
// /api/v1/pages/ID cancels one; GET /api/v1/lines tells what each line of
// every gateway sharing the queue does.
#include "gateway/http_reply.h"
#include "gateway/http_routes.h"
#include "gateway/line_board.h"
#include "gateway/page_json.h"

namespace zentrel::gateway {

namespace {

using nlohmann::json;

// The body as the socket's submit request, so both are checked alike.
std::variant<Request, Refusal> ReadSubmission(const std::string& body) {
  json in = json::parse(body, nullptr, false);
  if (in.is_discarded() || !in.is_object())
    return Refusal{"bad-request", "the body is not a JSON object"};
  json pins = in.contains("pins") ? in["pins"] : json::array({in.value("pin", json())});
  if (!pins.is_array() || pins.empty() || (in.contains("pin") && in.contains("pins"))) {
    return Refusal{"bad-request", "give \"pin\" (one PIN) or \"pins\" (a list), not both"};
  }
  json request = {{"op", "submit"}, {"pages", json::array()}, {"via", "http"}};
  for (const json& pin : pins) {
    json page = {{"pin", pin}, {"text", in.value("text", json())}};
    for (const char* field : {"hold_until", "priority"}) {
      if (in.contains(field)) page[field] = in[field];
    }
    request["pages"].push_back(page);
  }
  for (const char* field : {"split", "max_chars"}) {
    if (in.contains(field)) request[field] = in[field];
  }
  return ParseRequest(request.dump());
}

void Submit(DaemonAccess& daemon, const httplib::Request& req, httplib::Response& res,
            const std::string& caller) {
  if (!RequireContentType(req, res, "application/json")) return;
  auto parsed = ReadSubmission(req.body);
  if (auto* refusal = std::get_if<Refusal>(&parsed)) {
    return ReplyError(res, 400, refusal->code, refusal->error);
  }
  const Request& request = std::get<Request>(parsed);
  const json answer = daemon.Run([&](DaemonState& s) {
    return s.handler.SubmitBy(request, "token " + caller, s.now, s.accepting);
  });
  ReplyJson(res, StatusOf(answer, 202), answer);
}

void Change(DaemonAccess& daemon, const httplib::Request& req, httplib::Response& res, Op op) {
  Request request;
  request.op = op;
  request.id = std::stoll(req.matches[1]);
  const json answer = daemon.Run([&](DaemonState& s) {
    json a = s.handler.Answer(request, 0, s.now, s.accepting);
    if (op == Op::kCancel) s.pages_changed();
    return a;
  });
  ReplyJson(res, StatusOf(answer, 200), answer);
}

void List(DaemonAccess& daemon, httplib::Response& res) {
  const json pages = daemon.Run([](DaemonState& s) {
    json out = json::array();
    for (const queue::Page& page : s.queue.Newest(100)) out.push_back(PageJson(page));
    return out;
  });
  ReplyJson(res, 200, {{"ok", true}, {"pages", pages}});
}

void Lines(DaemonAccess& daemon, httplib::Response& res) {
  const EveryLine every =
      daemon.Run([](DaemonState& s) { return ReadEveryLine(s.queue, s.lines, s.now); });
  json answer = {{"ok", true}, {"lines", LinesJson(every.lines)}};
  if (!every.others_unknown.empty()) answer["others_unknown"] = every.others_unknown;
  ReplyJson(res, 200, answer);
}

}  // namespace

void AddApiRoutes(HttpRoutes& routes, HttpContext& context) {
  DaemonAccess& daemon = context.daemon;
  const std::string page = R"(/api/v1/pages/(\d{1,15}))";
  routes.Post("/api/v1/pages", Access::kToken,
              [&daemon](const httplib::Request& req, httplib::Response& res,
                        const std::string& caller) { Submit(daemon, req, res, caller); });
  routes.Get("/api/v1/pages", Access::kToken,
             [&daemon](const httplib::Request&, httplib::Response& res, const std::string&) {
               List(daemon, res);
             });
  routes.Get(page, Access::kToken,
             [&daemon](const httplib::Request& req, httplib::Response& res, const std::string&) {
               Change(daemon, req, res, Op::kShow);
             });
  routes.Delete(page, Access::kToken,
                [&daemon](const httplib::Request& req, httplib::Response& res, const std::string&) {
                  Change(daemon, req, res, Op::kCancel);
                });
  routes.Get("/api/v1/lines", Access::kToken,
             [&daemon](const httplib::Request&, httplib::Response& res, const std::string&) {
               Lines(daemon, res);
             });
}

}  // namespace zentrel::gateway
