// The pseudo-terminal the emulator answers on, and the symlink that names it.
// The master is non-blocking and its line set raw (so the client starts with
// no echo or line editing); the link is swapped atomically (a temporary link
// renamed over it), so a client opening the path always finds a live slave.
#pragma once

#include <stdexcept>
#include <string>

namespace zentrel::modemsim {

// Every failure of the emulator's own I/O.
class ModemSimError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws ModemSimError naming `what` and errno's text.
[[noreturn]] void ThrowErrno(const std::string& what);

// Points `link` at `target`, replacing a symlink that is there; any other
// file at `link` is left alone and reported.
void PointLink(const std::string& link, const std::string& target);
// Removes `link` if it still points at `target` (no one else took it over).
void RemoveLink(const std::string& link, const std::string& target);

class PtyPort {
 public:
  explicit PtyPort(const std::string& link);
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  int master_fd() const { return master_; }
  const std::string& slave_path() const { return slave_path_; }
  // Bytes written to the master that the client has not read yet; 0 when
  // that can't be told (the slave can't be opened).
  int PendingForClient() const;

 private:
  int master_ = -1;
  std::string slave_path_;
};

}  // namespace zentrel::modemsim
