// The states' words, as stored and as shown to people and programs.
#include <array>
#include <utility>

#include "queue/page_record.h"

namespace zentrel::queue {

namespace {

constexpr std::array<std::pair<PageState, const char*>, 6> kNames{{
    {PageState::kQueued, "queued"},
    {PageState::kOnTheLine, "on the line"},
    {PageState::kAccepted, "accepted"},
    {PageState::kRefused, "refused"},
    {PageState::kExpired, "expired"},
    {PageState::kCancelled, "cancelled"},
}};

}  // namespace

const char* StateName(PageState state) {
  for (const auto& [s, name] : kNames) {
    if (s == state) return name;
  }
  return "queued";
}

std::optional<PageState> StateFromName(const std::string& name) {
  for (const auto& [s, n] : kNames) {
    if (name == n) return s;
  }
  return std::nullopt;
}

bool IsFinal(PageState state) {
  return state != PageState::kQueued && state != PageState::kOnTheLine;
}

}  // namespace zentrel::queue
