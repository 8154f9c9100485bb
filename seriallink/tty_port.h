// The one serial port of the program: every tty line (a modem, a direct
// cable to an encoder) is opened, locked, framed and closed here. Open takes
// the UUCP lock and TIOCEXCL, never becomes the controlling terminal, sets
// close-on-exec, saves the termios it found and applies a LineFormat raw;
// closing restores the saved termios and releases the lock. Also the modem
// lines (DTR, DCD, CLOCAL: see modem_lines.h), HUPCL, flushing, draining,
// the port's hang-up and a read that a wake event interrupts.
#pragma once

#include <sys/stat.h>
#include <termios.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "seriallink/line_format.h"
#include "seriallink/modem_lines.h"
#include "seriallink/tty_port_lock.h"

namespace zentrel {

// Raw mode with `format` written into `t`; CLOCAL and HUPCL are kept as
// they are. (A pseudo-terminal keeps only some of these flags.) False, with
// `error` naming it and `t` untouched, for a speed the port does not know.
bool MakeRawTermios(termios& t, const LineFormat& format, std::string* error);

// Why a port could not be opened, for the user and the trace.
struct TtyOpenError {
  enum class Kind { kNone, kMissing, kPermission, kNotTty, kHeld, kFailed };
  Kind kind = Kind::kNone;
  std::string text;    // one sentence naming the cause
  LockHolder holder;   // kHeld: who has it, where known (pid 0 = unknown)
  std::string system;  // errno's text, where a system call said why
};

// The slave side of a pseudo-terminal, by its device number.
bool IsPseudoTerminal(const struct stat& st);
// Looks at `path` without opening it: true with `st` filled when it names a
// serial port; else false with `error` saying why (kMissing, kNotTty, kFailed).
bool LookAtPort(const std::string& path, struct stat* st, TtyOpenError* error);

struct TtyPortOptions {
  std::string lock_folder = SystemLockFolder();
  bool hang_up_on_close = true;  // HUPCL: closing the port drops DTR
};

class TtyPort {
 public:
  static std::unique_ptr<TtyPort> Open(const std::string& path, const LineFormat& format,
                                       const TtyPortOptions& options, TtyOpenError* error);
  ~TtyPort();
  TtyPort(const TtyPort&) = delete;
  TtyPort& operator=(const TtyPort&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // The format last applied.
  const LineFormat& format() const { return format_; }
  // DTR, DCD and the other modem-control lines; a pseudo-terminal has none.
  IModemLines& lines() { return *lines_; }
  // Where the lock could not be taken for a reason other than a holder
  // (no lock folder, no permission): what went wrong; else empty.
  const std::string& lock_warning() const { return lock_warning_; }

  // Raw mode with `format`; false with `error` when the driver refuses it.
  bool Apply(const LineFormat& format, std::string* error);
  // CLOCAL: on, the port ignores the carrier; off, losing DCD hangs it up.
  bool IgnoreCarrier(bool ignore) { return lines_->IgnoreCarrier(ignore); }
  bool SetHangUpOnClose(bool on);
  // True when the port has hung up, or does within `limit` (0: just look).
  bool AwaitHangUp(std::chrono::milliseconds limit);
  bool FlushInput();
  // Waits until every written byte has left the port.
  bool Drain();
  // Writes all of `text` within `limit`; false if the port failed.
  bool WriteAll(std::string_view text, std::chrono::milliseconds limit);

  enum class ReadResult { kData, kTimeout, kWoken, kHangUp };
  // Reads what is there (at most `size`), waiting up to `limit` for the
  // first byte; `wake_fd` (an eventfd, or -1) readable ends the wait.
  ReadResult Read(char* buffer, std::size_t size, std::size_t* got, std::chrono::milliseconds limit,
                  int wake_fd);

 private:
  TtyPort(int fd, std::string path, const termios& saved);
  int fd_;
  std::string path_;
  termios saved_;
  LineFormat format_;
  std::unique_ptr<IModemLines> lines_;
  std::string lock_warning_;
  std::unique_ptr<PortLock> lock_;
};

}  // namespace zentrel
