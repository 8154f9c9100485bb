// The scratch fixture: the folder is made fresh (a left-over of an earlier
// run of the same test is removed first), its lock folder is writable by all
// and sticky like the system's, and every variable set is put back as it was.
#include "tests/e2e/scratch.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace zentrel::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void ScratchTest::SetUp() {
  dir_ =
      fs::temp_directory_path() / ("zentrel-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir_);
  fs::create_directories(Locks());
  fs::permissions(Locks(), fs::perms::all | fs::perms::sticky_bit);
  SetEnv("ZENTREL_PORT_LOCK_DIR", Locks());
  SetEnv("ZENTREL_LOCK_DIR", Locks());
}

void ScratchTest::TearDown() {
  if (!dir_.empty()) fs::remove_all(dir_);
  for (auto it = saved_env_.rbegin(); it != saved_env_.rend(); ++it) {
    if (it->second)
      ::setenv(it->first.c_str(), it->second->c_str(), 1);
    else
      ::unsetenv(it->first.c_str());
  }
  saved_env_.clear();
}

void ScratchTest::SetEnv(const char* name, const std::string& value) {
  const char* before = std::getenv(name);
  saved_env_.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
  ::setenv(name, value.c_str(), 1);
}

void ScratchTest::Write(const std::string& name, const std::string& text) const {
  std::ofstream(dir_ / name) << text;
}

bool ScratchTest::MakeDemoDb(const std::string& name) const {
  const Finished made = RunProgram({ZENTREL_DB_TOOL, "demo", Path(name)}, {}, 30s);
  EXPECT_EQ(made.status, 0) << made.err;
  return made.status == 0;
}

std::unique_ptr<Process> ScratchTest::StartEmulator(const Args& args, const std::string& log,
                                                    std::string* ready) const {
  Args argv{ZENTREL_MODEMSIM};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.insert(argv.end(), {"--log", Path(log)});
  auto emulator = std::make_unique<Process>(argv);
  const std::string line = emulator->WaitForLine("ready ", 30s);
  EXPECT_NE(line, "") << "the emulator did not start";
  if (ready) *ready = line;
  return emulator;
}

std::vector<nlohmann::json> ScratchTest::Events(const std::string& kind,
                                                const std::string& log) const {
  std::vector<nlohmann::json> events;
  std::ifstream in(dir_ / log);
  for (std::string line; std::getline(in, line);) {
    auto event = nlohmann::json::parse(line);
    if (kind.empty() || event["event"] == kind) events.push_back(std::move(event));
  }
  return events;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  return lines;
}

}  // namespace zentrel::e2e
