// Waiting in tests without sleeping: process Qt events until a condition
// holds (or a generous limit passes, which fails the test that waited).
#pragma once

#include <functional>

namespace zentrel::testing {

bool WaitUntil(const std::function<bool()>& condition, int limit_ms = 10000);

}  // namespace zentrel::testing
