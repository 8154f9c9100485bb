// What every Zentrel program's command line shares, so their --help pages
// read alike: the program's own name in the usage line, the same wording for
// --help, --version printing "NAME VERSION", and a last line naming the
// manual page. Call it first, before any option or subcommand is added.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "zentrel/build_config.h"

namespace zentrel {

inline void UseProgramConventions(CLI::App& app, const std::string& name) {
  app.name(name);
  app.set_help_flag("-h,--help", "print this help and exit");
  app.set_version_flag("--version", name + " " + kVersion, "print the version and exit");
  app.footer("See " + name + "(1) for the full manual.");
}

}  // namespace zentrel
