// Making database files for the program, which never creates one itself:
// an empty file with both tables and an index on pin, and a demo file with
// a few recipients and stored messages.
#pragma once

#include <string>

namespace zentrel::dbtool {

// Creates `path` with tables VPdata and stored and an index on VPdata.pin.
// Throws ToolError when the file already exists (it is never overwritten).
void InitDatabase(const std::string& path);

// InitDatabase, then four recipients and three stored messages.
void MakeDemoDatabase(const std::string& path);

}  // namespace zentrel::dbtool
