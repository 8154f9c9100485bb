// Locked copies of the two boxes the page transaction reads. Each access
// holds the lock only to copy one string in or out, so neither thread ever
// waits for more than a copy.
#include "paging/view/form_state.h"

namespace zentrel {

void FormState::SetPin(std::string text) {
  std::lock_guard lock(mutex_);
  pin_ = std::move(text);
}

void FormState::SetMessage(std::string text) {
  std::lock_guard lock(mutex_);
  message_ = std::move(text);
}

std::string FormState::Pin() const {
  std::lock_guard lock(mutex_);
  return pin_;
}

std::string FormState::Message() const {
  std::lock_guard lock(mutex_);
  return message_;
}

}  // namespace zentrel
