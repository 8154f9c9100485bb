// The back-end of snpp_backend.h. SNPP texts may be longer than one page of
// the terminal: they are split, never cut. LEVEl 0 goes ahead of the queue.
// The options the queue does not keep (alert, subject, caller) are logged.
#include "gateway/snpp_backend.h"

#include "gateway/log.h"

namespace zentrel::gateway {

namespace {

constexpr int kAheadOfTheQueue = 1;

std::string Extras(const SnppPage& page) {
  std::string extras;
  if (page.alert) extras += " alert";
  if (!page.subject.empty()) extras += " subject \"" + page.subject + "\"";
  if (!page.caller_id.empty()) extras += " caller \"" + page.caller_id + "\"";
  return extras;
}

}  // namespace

bool QueueSnppBackend::KnownPin(const std::string& pin) { return recipients_.count(pin) > 0; }

bool QueueSnppBackend::Login(const std::string& user, const std::string& password) {
  const auto found = users_.find(user);
  return found != users_.end() && PasswordMatches(found->second, password);
}

SnppSendResult QueueSnppBackend::Send(const std::vector<SnppPage>& pages, const std::string& by) {
  Request request;
  request.op = Op::kSubmit;
  request.via = "snpp";
  request.split = true;
  for (const SnppPage& page : pages) {
    request.pages.push_back(SubmittedPage{page.pin, page.text, page.hold_until,
                                          page.level == 0 ? kAheadOfTheQueue : 0});
  }
  const nlohmann::json answer = handler_.SubmitBy(request, by, clock_());
  if (!answer.value("ok", false)) {
    return {{}, answer.value("code", "") == "unavailable", answer.value("error", "")};
  }
  SnppSendResult result;
  result.ids = answer["ids"].get<std::vector<std::int64_t>>();
  std::string ids;
  for (auto id : result.ids) ids += " " + std::to_string(id);
  Log("snpp: " + by + " queued" + ids + Extras(pages.front()));
  return result;
}

std::unique_ptr<SnppServer> OpenSnpp(const SnppSettings& settings, Handler& handler,
                                     const Recipients& recipients, std::function<double()> clock) {
  const int activated = ActivatedSnppSocket();
  if (!settings.Enabled() && activated < 0) return nullptr;
  SnppServerConfig config{settings.listen, settings.idle_s, settings.max_clients,
                          settings.hold_zone, !settings.users.empty()};
  auto server = std::make_unique<SnppServer>(
      config,
      std::make_unique<QueueSnppBackend>(handler, recipients, settings.users, std::move(clock)),
      activated);
  // Not "listening on": that line tells clients the local socket is ready.
  Log("snpp: taking pages on " + server->Where() + (activated >= 0 ? " (socket activation)" : ""));
  return server;
}

}  // namespace zentrel::gateway
