// The ground every end-to-end test stands on: a scratch folder named after
// the test and removed with it; the port and line locks kept in it (this
// process's environment names it while the test runs, so the programs the
// test starts and the test itself look there, and a lock a killed program
// left in the system's folder is never seen); the demo recipients' database;
// and the emulator, started with its event log in the folder, the log read
// back.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/process.h"

namespace zentrel::e2e {

using Args = std::vector<std::string>;

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;  // removes the folder, restores the environment

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The folder of the port and line locks.
  std::string Locks() const { return Path("locks"); }
  void Write(const std::string& name, const std::string& text) const;
  // zentrel-db's demo recipients at `name`; false (a failure added) when not made.
  bool MakeDemoDb(const std::string& name = "vp.mdb") const;
  // Starts the emulator with `args`, its event log at `log`, and waits for
  // its "ready" line (a failure added when none came), kept in `ready`.
  std::unique_ptr<Process> StartEmulator(const Args& args, const std::string& log = "sim.log",
                                         std::string* ready = nullptr) const;
  // The events named `kind` in the emulator's log (every event for "").
  std::vector<nlohmann::json> Events(const std::string& kind,
                                     const std::string& log = "sim.log") const;

  std::filesystem::path dir_;

 private:
  void SetEnv(const char* name, const std::string& value);
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_env_;
};

// A file's bytes ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);
bool Has(const std::string& text, const std::string& part);
// Standard output split into lines (without their line breaks).
std::vector<std::string> Lines(const std::string& text);

}  // namespace zentrel::e2e
