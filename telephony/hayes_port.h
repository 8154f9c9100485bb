// The modem's tty, held from lineOpen to lineClose: opened non-blocking,
// not as controlling terminal and not exclusively (a modem stand-in on a pty
// opens the slave to see what is still unread), set raw at 300 bit/s 7E1 -
// the format the serial link keeps after the hand-over, so the modem sees no
// change of speed - and restored on close. Also DTR and DCD for the call.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include <termios.h>

namespace zentrel {

class HayesPort {
 public:
  // Null on failure, with `error` set to strerror's text and `busy` when
  // another program holds the port.
  static std::unique_ptr<HayesPort> Open(const std::string& path,
                                         std::string* error, bool* busy);
  ~HayesPort();
  HayesPort(const HayesPort&) = delete;
  HayesPort& operator=(const HayesPort&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

  // Writes all of `text` within `limit`; false if the port failed.
  bool WriteAll(std::string_view text, std::chrono::milliseconds limit);
  // Lowers DTR for `hold`, then raises it; false where the port has no
  // modem-control lines (a pseudo-terminal).
  bool PulseDtr(std::chrono::milliseconds hold);
  // The carrier-detect line; false where the port has no status lines.
  bool ReadCarrier(bool* carrier) const;

 private:
  HayesPort(int fd, std::string path, const termios& saved, bool restore);
  int fd_;
  std::string path_;
  termios saved_;
  bool restore_;
};

}  // namespace zentrel
