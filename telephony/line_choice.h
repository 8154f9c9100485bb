// The line the line service takes for the next call, chosen before the
// call when lines.conf has a line whose calls carry pages (a wctp line):
// the lines are checked in their order, once, the first usable one is the
// choice. A sender whose choice carries pages posts them itself; any other
// choice is handed to the line service as a driver that has already made it
// (the same lines passed over with the same problems, the chosen line's
// check's connection kept for the call), so nothing is checked twice.
#pragma once

#include <memory>
#include <vector>

#include "telephony/configured_line_driver.h"
#include "telephony/line_problems.h"

namespace zentrel {

struct LineChoice {
  // False when lines.conf has no line that carries pages (or cannot be
  // read): the line service chooses on its own, as it always has.
  bool made = false;
  // The line chosen carries pages: `line` is it, `skipped` says why each
  // line before it was passed over. Not set: the call goes through the line
  // service with `driver`, which notes those problems itself.
  bool carries_pages = false;
  LineConfig line;
  std::vector<LineProblem> skipped;
  std::shared_ptr<ILineDriver> driver;  // made && !carries_pages
};

LineChoice ChooseLine(ConfigPathFn config_path = LinesConfigPath, LineSettings settings = {});

}  // namespace zentrel
