// The list of line devices, read from a small text file: one line device per
// line in device-id order, `#` outside quotes starts a comment, "..." quotes
// a word holding blanks or `#` (with \" and \\ inside), a UTF-8 byte order
// mark at the start is ignored. The first word names the line's kind, whose
// own file reads the rest (line_kinds.cpp lists them: modem, serial, tcp,
// tls, wctp). The parser is pure; the loader finds the file
// (ZENTREL_LINES, else $XDG_CONFIG_HOME/zentrel/lines.conf, else
// ~/.config/zentrel/lines.conf) and says why it gave no line.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

struct LineKindOps;  // line_kind.h: how one kind is read, named, checked and opened

// What a line's kind reads from its line (a port and INIT, HOST:PORT); each
// kind derives its own, and only it and the few that need a field look in.
class LineKindFields {
 public:
  virtual ~LineKindFields() = default;
};

struct LineConfig {
  const LineKindOps* kind = nullptr;  // set in every parsed line
  int line_number = 0;                // in the file, for messages
  std::shared_ptr<const LineKindFields> fields;
  // The kind's fields as T; null when the line is of a kind without them.
  template <class T>
  const T* As() const {
    return dynamic_cast<const T*>(fields.get());
  }
  // "modem": the word the line starts with.
  std::string KindWord() const;
  // "Modem on /dev/ttyUSB0", "TAP over TCP to host:444": the line's name.
  std::string LineName() const;
  // "line 2 (modem /dev/ttyUSB0)": how messages name the line.
  std::string Describe() const;
  // Whether a call dials the page's number (a modem); else the line is the call.
  bool Dials() const;
};

struct LinesConfig {
  std::vector<LineConfig> lines;
  // Empty when the file is sound; else "line N: what is wrong", and then
  // `lines` is empty: a half-understood file configures nothing.
  std::string error;
  // When `lines` is empty: which file was read and why it gave no line.
  std::string why_none;
};

LinesConfig ParseLinesConfig(std::string_view text);

// The path the configuration is read from; empty when no HOME is known.
std::string LinesConfigPath();

// The most a device list may hold.
inline constexpr std::size_t kLinesFileLimit = 1024 * 1024;

// Reads the file at `path` without blocking: a regular file of at most
// kLinesFileLimit bytes. False, with why not in `why`, for anything else.
bool ReadLinesFile(const std::string& path, std::string* text, std::string* why);

// Reads and parses the file at `path`; a missing file gives no devices.
LinesConfig LoadLinesConfig(const std::string& path);

// `word` as lines.conf writes it: as it is when it reads back so, else in
// quotes with `"` and `\` escaped. With `rest_of_line` (a modem's INIT) blanks
// inside need no quotes. Control characters cannot be written.
std::string QuoteLinesWord(std::string_view word, bool rest_of_line = false);

}  // namespace zentrel
