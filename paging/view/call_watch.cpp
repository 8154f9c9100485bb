// The two single-shot clocks of CallWatch. Both stop when either runs out,
// so a call is hung up once; a step after the final word no longer restarts
// the silence clock (the grace clock decides then).
#include "paging/view/call_watch.h"

namespace zentrel {

CallWatch::CallWatch(QObject* parent, std::function<void(Expiry)> expired)
    : QObject(parent), expired_(std::move(expired)) {
  for (QTimer* clock : {&silence_, &grace_}) {
    clock->setSingleShot(true);
    clock->setTimerType(Qt::PreciseTimer);
  }
  SetIntervals(kCallTimeoutMs, kHangUpGraceMs);
  connect(&silence_, &QTimer::timeout, this, [this] { Expire(Expiry::kSilent); });
  connect(&grace_, &QTimer::timeout, this, [this] { Expire(Expiry::kGraceOver); });
}

void CallWatch::SetIntervals(int call_timeout_ms, int grace_ms) {
  silence_.setInterval(call_timeout_ms);
  grace_.setInterval(grace_ms);
}

void CallWatch::Begin() {
  grace_.stop();
  silence_.start();
}

void CallWatch::Progress() {
  if (silence_.isActive()) silence_.start();
}

void CallWatch::Final() {
  if (!silence_.isActive()) return;
  silence_.stop();
  grace_.start();
}

void CallWatch::End() {
  silence_.stop();
  grace_.stop();
}

void CallWatch::Expire(Expiry why) {
  End();
  if (expired_) expired_(why);
}

}  // namespace zentrel
