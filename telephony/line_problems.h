// Why no line could carry a call, collected for the user: each line that was
// skipped (port missing, not a tty, held by another program, no answer to
// its set-up, a TLS server not trusted), a device list that gave no line, a
// number that cannot be dialled. Each problem has a kind a program can act
// on (wait for a held port, say "unreachable"), the sentence the user reads,
// and the system's own words where it gave some; nothing needs to read the
// sentence to learn the kind. The driver notes them (each also goes to the
// trace); a program takes them after a failed attempt.
#pragma once

#include <string>
#include <vector>

namespace zentrel {

enum class LineProblemKind {
  kNoDeviceList,       // no lines.conf, unreadable, empty, or a line in it is wrong
  kMissingPort,        // the tty named is not there
  kNotSerialPort,      // a file, a folder, or a device that is not a serial port
  kPermission,         // the port may not be opened by this user
  kHeld,               // another program holds the port (`holder` says which)
  kNoAnswer,           // the line did not answer its set-up in time
  kBadAnswer,          // it answered its set-up with something else than expected
  kTlsUntrusted,       // the server's certificate is not trusted (expired, unknown CA)
  kTlsWrongName,       // the certificate is for another name
  kTlsVersion,         // no TLS version both ends speak
  kTlsFailed,          // another handshake failure, or the CA file cannot be used
  kRefused,            // nothing listens at the gateway's port
  kUnreachable,        // no route, network down, unknown host
  kBadNumber,          // the number cannot be dialled on this line
  kHangUpUnconfirmed,  // the modem never confirmed the hang-up
  kDialAnswer,         // the modem answered the dial with no connection (`system`: its words)
  kOther,
};

// "held", "tls-untrusted": the kind in a word, for machine-readable output.
const char* LineProblemWord(LineProblemKind kind);

struct LineProblem {
  LineProblemKind kind = LineProblemKind::kOther;
  std::string line;      // "line 2 (modem /dev/ttyUSB0)"; empty when about no one line
  std::string cause;     // one sentence in the user's words, without the line's name
  std::string system;    // errno's or the TLS library's text, when one was given
  std::string holder;    // kHeld: who holds the port ("process 12 (minicom)"), when known
  bool skipped = false;  // the line was passed over for the next one

  // What the user reads: "line 1 (tcp h:1) skipped: the gateway cannot be
  // reached: Connection refused", "line 1 (...): cause", or the cause alone.
  std::string Text() const;
};

// A problem about no one line in particular.
LineProblem MakeLineProblem(LineProblemKind kind, std::string cause);

void NoteLineProblem(LineProblem problem);
// A problem known only by its words (kind kOther).
void NoteLineProblem(const std::string& text);
// The problems noted since the last call, in order; clears the list.
std::vector<LineProblem> TakeLineProblems();

}  // namespace zentrel
