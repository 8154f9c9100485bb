// The list of line devices, read from a small text file: one line device per
// line in device-id order, `#` outside quotes starts a comment, "..." quotes
// a word holding blanks or `#` (with \" and \\ inside), a UTF-8 byte order
// mark at the start is ignored. Four kinds:
//   modem PORT [--speed=N] [--format=7E1] [INIT]   (INIT defaults to ATZ)
//   serial PORT SPEED FORMAT [rtscts|xonxoff]       (FORMAT like 8N1)
//   tcp HOST:PORT
//   tls HOST:PORT [ca=FILE] [name=SERVERNAME] [insecure]
// A modem's options come before INIT and start with "--", which no AT
// command does. The parser is pure; the loader finds the file
// (ZENTREL_LINES, else $XDG_CONFIG_HOME/zentrel/lines.conf, else
// ~/.config/zentrel/lines.conf) and says why it gave no line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "seriallink/line_format.h"

namespace zentrel {

struct LineConfig {
  enum class Kind { kModem, kSerial, kTcp, kTls };
  Kind kind = Kind::kModem;
  int line_number = 0;     // in the file, for messages
  std::string port;        // modem, serial: the tty
  std::string init;        // modem: the init string (ATZ unless given)
  LineFormat format;       // modem, serial
  std::string host;        // tcp, tls
  std::string service;     // tcp, tls: the port number as text
  std::string ca_file;     // tls: trust these instead of the system's
  std::string server_name; // tls: the name to verify; host when empty
  bool insecure = false;   // tls: no certificate check
  // "Modem on /dev/ttyUSB0", "TCP to host:444": the line's name.
  std::string LineName() const;
};

const char* KindWord(LineConfig::Kind kind);

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
