// The PAGE object's fields, one for one from queue::Page.
#include "gateway/page_json.h"

namespace zentrel::gateway {

namespace {

nlohmann::json AttemptJson(const queue::Attempt& a) {
  return {{"at", a.at},         {"line", a.line},   {"outcome", a.outcome},
          {"reason", a.reason}, {"words", a.words}, {"duration_ms", a.duration_ms}};
}

}  // namespace

nlohmann::json PageJson(const queue::Page& page) {
  nlohmann::json attempts = nlohmann::json::array();
  for (const queue::Attempt& a : page.attempts) attempts.push_back(AttemptJson(a));
  nlohmann::json out = {{"id", page.id},
                        {"pin", page.pin},
                        {"fname", page.fname},
                        {"lname", page.lname},
                        {"phone", page.phone},
                        {"text", page.text},
                        {"priority", page.priority},
                        {"state", queue::StateName(page.state)},
                        {"held", page.held},
                        {"queued_at", page.queued_at},
                        {"by", page.by},
                        {"via", page.via},
                        {"not_before", page.not_before},
                        {"expires_at", page.expires_at},
                        {"next_try", page.next_try},
                        {"last_reason", page.last_reason},
                        {"may_be_duplicate", page.may_be_duplicate},
                        {"merged_ids", page.merged_ids},
                        {"attempts", std::move(attempts)}};
  if (page.merged_into) out["merged_into"] = *page.merged_into;
  if (!page.holder.empty()) out["holder"] = page.holder;  // a shared queue's gateway
  return out;
}

std::string AnswerLine(const nlohmann::json& answer) {
  return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace zentrel::gateway
