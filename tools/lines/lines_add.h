// Adding a modem line to the line configuration: the new line is checked
// with the same parser that reads the file, a port already listed (under
// any name of the same device) or missing is refused, and the file and its
// folder are made when absent. The line is appended; nothing else changes.
#pragma once

#include <string>

namespace zentrel {

struct AddRequest {
  std::string port;
  int speed = 0;     // 0: the modem default
  std::string init;  // empty: the default INIT
};

// The configuration line for `request` ("modem /dev/ttyUSB0 --speed=9600 ATZ").
std::string ModemLineText(const AddRequest& request);

// Appends the line to the file at `path`; "" on success, else why not.
std::string AddModemLine(const std::string& path, const AddRequest& request);

}  // namespace zentrel
