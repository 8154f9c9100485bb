// The self-pipe behind QuitSignals. The write end is a process-wide
// descriptor because a signal handler can reach nothing else; a full pipe
// already holds a quit request, so a failed write loses nothing.
#include "app/quit_signals.h"

#include <QApplication>
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zentrel {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_quit_pipe[2] = {-1, -1};

void OnQuitSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_quit_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (g_quit_pipe[0] >= 0 || ::pipe2(g_quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_quit_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::OnSignal);
  struct sigaction action = {};
  action.sa_handler = &OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() {
  if (!notifier_) return;
  for (int signal : kSignals) std::signal(signal, SIG_DFL);
  ::close(g_quit_pipe[0]);
  ::close(g_quit_pipe[1]);
  g_quit_pipe[0] = g_quit_pipe[1] = -1;
}

// Closes the dialogs and message boxes too; the last window closed ends the
// message loop.
void QuitSignals::OnSignal() {
  char bytes[16];
  while (::read(g_quit_pipe[0], bytes, sizeof bytes) > 0) {
  }
  QApplication::closeAllWindows();
}

}  // namespace zentrel
