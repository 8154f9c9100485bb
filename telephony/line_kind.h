// What one kind of line (a Hayes modem, a direct serial cable, TCP, TLS) must
// provide: one LineKindOps row (its word, parse, name, check and open).
// Everything else - the device list, handles, records, the hand-over of the
// data connection - is the driver's and the same for every kind. A kind can say whether a line is
// usable right now (a tty kind without disturbing the port; a network kind by bringing its
// connection up, which the first call then uses: a gateway sees exactly one
// connection per call), open it, and place one call at a time on it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "seriallink/handover.h"
#include "seriallink/tty_port.h"
#include "telephony/direct_timings.h"
#include "telephony/hayes_timings.h"
#include "telephony/line_problems.h"
#include "telephony/line_types.h"
#include "telephony/lines_config.h"

namespace zentrel {

// New call state and its detail, reported from any thread.
using CallStateReport = std::function<void(DWORD, DWORD)>;

// One call. Start() begins it; states go to the report. Drop() asks for the
// hang-up (idle is reported when done); Join() ends the call and waits.
class ILineCall {
 public:
  virtual ~ILineCall() = default;
  virtual void Start() = 0;
  virtual DWORD State() const = 0;
  virtual DWORD StateDetail() const = 0;
  virtual void Drop() = 0;
  virtual void Join() = 0;
  // Connected: the descriptor the serial link gets a dup() of, and its name.
  virtual int DataFd() const = 0;
  virtual std::string DataName() const = 0;
  // What the link is told beside the descriptor (the line's format, a TLS
  // session); lineGetID hands it over with the dup() of the descriptor.
  virtual CommHandover Handover() const = 0;
  // Why the line could not be brought up for this call, once it ended so.
  virtual std::optional<LineProblem> Failure() const { return std::nullopt; }
};

// A line held open from lineOpen to lineClose.
class IOpenLine {
 public:
  virtual ~IOpenLine() = default;
  // A call to `destination`, not yet started; null with `refused` set when
  // the destination cannot be dialled on this kind of line.
  virtual std::unique_ptr<ILineCall> MakeCall(const std::string& destination,
                                              CallStateReport report, std::string* refused) = 0;
};

// The knobs tests turn: protocol timings and where port locks live.
struct LineSettings {
  HayesTimings modem;
  TtyPortOptions tty;
  DirectTimings direct;  // the kinds with no modem
};

struct LineOpenFailure {
  LONG code = LINEERR_NODEVICE;  // LINEERR_ALLOCATED when someone holds it
  LineProblem problem;           // its kind and cause; `line` left to the driver
};

// What a line's check brought up for its first call (a network line's
// connection, a modem's port once it answered its INIT); the kind that made
// it takes it back in its open.
class LineReady {
 public:
  virtual ~LineReady() = default;
};

// The outcome of a check: usable (no problem), or why not; a usable line may
// come with what the check brought up.
struct LineCheck {
  bool usable = true;
  LineProblem problem;  // !usable: its kind and cause; `line` left to the driver
  std::shared_ptr<LineReady> ready;
};
LineCheck Unusable(LineProblemKind kind, std::string cause, std::string system = {});

struct LineWords;  // line_words.h

// One kind of line, one row of the table of kinds (line_kinds.cpp); the
// kind's file defines it and everything it points to.
struct LineKindOps {
  std::string_view word;  // the first word of its lines in lines.conf: "modem"
  bool dials;             // a call dials the page's number; else the line is the call
  // The words after `word` into the line's fields; an error text or "".
  std::string (*parse)(LineWords& words, LineConfig* line);
  // "Modem on /dev/ttyUSB0": the device's name.
  std::string (*name)(const LineConfig& line);
  // "/dev/ttyUSB0", "host:444": where the line goes, for messages.
  std::string (*where)(const LineConfig& line);
  // Whether the line is usable now (the line driver's check before a call).
  LineCheck (*check)(const LineConfig& line, const LineSettings& settings);
  // The line held open; `ready` is what this line's check brought up, or null.
  std::unique_ptr<IOpenLine> (*open)(const LineConfig& line, const LineSettings& settings,
                                     std::shared_ptr<LineReady> ready, LineOpenFailure* failure);
  // Its calls carry pages, not bytes (a WCTP gateway): the sender delivers
  // them itself once the line is chosen (line_choice.h); it is never opened.
  bool carries_pages;
};

// Every kind, in the order the unknown-kind message lists them.
std::span<const LineKindOps* const> LineKinds();
// The kind whose lines start with `word`; null when none does.
const LineKindOps* FindLineKind(std::string_view word);

}  // namespace zentrel
