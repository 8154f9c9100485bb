// Waiting in tests without sleeping: process Qt events until a condition
// holds. The limit is only a guard against a hang (a test that reaches it
// fails); nothing is ever timed.
#pragma once

#include <functional>

namespace zentrel::testing {

bool WaitUntil(const std::function<bool()>& condition, int limit_ms = 10000);

}  // namespace zentrel::testing
