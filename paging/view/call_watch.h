// Every call the form places ends. Two clocks run on the UI thread while a
// send's call is under way: the silence clock, restarted by every step the
// call makes (connected, a reply the transaction acted on), runs out when the
// terminal has moved nothing on for the call time-out; the grace clock starts
// at the page's final word (accepted or refused) and runs out when the
// terminal has not ended the call itself by then. Either one calls `expired`
// once, which hangs up; the call's end stops both.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace zentrel {

// How long a call may go without a step before the form hangs up.
inline constexpr int kCallTimeoutMs = 60000;
// How long the terminal has to hang up after the page's final word.
inline constexpr int kHangUpGraceMs = 10000;

class CallWatch : public QObject {
 public:
  enum class Expiry { kSilent, kGraceOver };

  CallWatch(QObject* parent, std::function<void(Expiry)> expired);

  void SetIntervals(int call_timeout_ms, int grace_ms);
  void Begin();     // a send's call was dialled
  void Progress();  // the call made a step
  void Final();     // the page's final word came; the first one counts
  void End();       // the call ended

 private:
  void Expire(Expiry why);

  QTimer silence_;
  QTimer grace_;
  std::function<void(Expiry)> expired_;
};

}  // namespace zentrel
