// POST /wctp on the HTTP listener: the body is answered by AnswerWctp with
// HTTP 200 and the outcome in the XML, as WCTP senders expect. The route
// checks its own sender (senderID = a token's name, securityCode = the
// token), and submits on the daemon's thread as every listener does; a
// stopping daemon or a failing queue is the XML's 604, never an HTTP error.
#include "gateway/http_routes.h"
#include "gateway/wctp_answer.h"
#include "queue/page_queue.h"

namespace zentrel::gateway {

namespace {

nlohmann::json SubmitOnDaemon(DaemonAccess& daemon, const Request& request, const std::string& by) {
  try {
    return daemon.Run(
        [&](DaemonState& s) { return s.handler.SubmitBy(request, by, s.now, s.accepting); });
  } catch (const Unavailable& e) {
    return ErrorAnswer("unavailable", e.what());
  } catch (const queue::QueueError& e) {
    return ErrorAnswer("unavailable", std::string("The queue failed: ") + e.what());
  }
}

}  // namespace

void AddWctpRoutes(HttpRoutes& routes, HttpContext& context) {
  routes.Post("/wctp", Access::kOwnCheck,
              [&context](const httplib::Request& req, httplib::Response& res, const std::string&) {
                std::string sender;
                // One answer for an unknown name and a wrong code: which
                // names exist is not told.
                const auto senders = [&](const std::string& id, const std::string& code) {
                  sender = id;
                  return context.tokens.CheckPair(id, code) ? SenderVerdict::kKnown
                                                            : SenderVerdict::kUnknownSender;
                };
                const auto submit = [&](const Request& request) {
                  return SubmitOnDaemon(context.daemon, request, "token " + sender);
                };
                res.set_content(AnswerWctp(req.body, senders, submit), kWctpContentType);
              });
}

}  // namespace zentrel::gateway
