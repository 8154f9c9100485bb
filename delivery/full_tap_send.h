// zentrel-send --full-tap: several pages in one call through the full TAP
// session engine. Each PIN is looked up as the form does; every page goes to
// the page log; a message over the page's limit is cut (and said) or, with
// --split, sent as numbered pages. Each page's outcome is printed on
// standard output, as lines or as JSON.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "delivery/send_options.h"

namespace zentrel {

struct PageOrder {
  std::string pin;
  std::string text;   // as the line carries it
  std::string typed;  // as given (UTF-8), for the page log
};

// Returns the exit status: 0 every page accepted, 1 some not, 2 usage.
int SendFullTap(const SendOptions& options, const std::vector<PageOrder>& requests, std::FILE* out,
                std::FILE* err);

}  // namespace zentrel
