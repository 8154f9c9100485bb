// SIGTERM, SIGINT and SIGHUP end the program the way File > Exit does: every
// window closes and the message loop ends, so the call under way is hung up
// and every thread ends before the process exits. The handler only writes a
// byte to a pipe; the UI thread reads it through a socket notifier.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace zentrel {

class QuitSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; they stay until this object goes.
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;
  bool Installed() const { return notifier_ != nullptr; }

 private:
  void OnSignal();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zentrel
