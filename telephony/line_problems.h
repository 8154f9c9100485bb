// Why no line could carry a call, collected for the user: each line that was
// skipped (port missing, not a tty, held by another program), a device list
// that gave no line, a number that cannot be dialled. The driver notes them
// (each also goes to the trace); a program takes them after a failed attempt
// and shows them, so the user reads the cause and not only "no devices".
#pragma once

#include <string>
#include <vector>

namespace zentrel {

void NoteLineProblem(const std::string& text);
// The problems noted since the last call, in order; clears the list.
std::vector<std::string> TakeLineProblems();

}  // namespace zentrel
