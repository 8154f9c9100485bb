// Work handed to the UI thread from any thread, run there in the order it was
// posted. The work waits in a queue under a standard mutex and a queued call
// by name tells the UI thread to drain it, so the hand-over is visible to
// race checkers and the posting thread never waits for the UI thread.
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace zentrel {

class UiQueue : public QObject {
  Q_OBJECT

 public:
  // Lives on the thread that constructs it (the UI thread).
  explicit UiQueue(QObject* parent = nullptr) : QObject(parent) {}

  // Queues `work` to run on this object's thread; never waits.
  void Post(std::function<void()> work);

 private slots:
  void Drain();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
};

}  // namespace zentrel
