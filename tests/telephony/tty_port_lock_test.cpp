// The port's UUCP lock file in every state another program, a crash or a
// hostile user can leave it in: which are stale and removed (the port then
// opens and the lock becomes ours), which hold the port, and what the user
// is told for each. A lock file is never followed as a symbolic link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "seriallink/trace.h"
#include "seriallink/tty_port.h"

namespace zentrel {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TenCharacters(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

std::string Binary(pid_t pid) {
  const int value = pid;
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// A process that lives until the test ends, and one that is gone.
struct Processes {
  Processes() {
    int fds[2];
    if (::pipe(fds) != 0) std::abort();
    live = ::fork();
    if (live == 0) {
      ::close(fds[1]);
      char c;
      (void)!::read(fds[0], &c, 1);
      ::_exit(0);
    }
    ::close(fds[0]);
    release = fds[1];
    dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
  }
  ~Processes() {
    ::close(release);
    ::waitpid(live, nullptr, 0);
  }
  pid_t live = 0, dead = 0;
  int release = -1;
};

enum class Make { kText, kSymlink, kFifo };

struct Row {
  const char* name;
  Make make;
  std::string text;  // the lock's content (kText), or the link's target
  bool opens;        // stale: removed and taken over
  std::string told;  // the open's error, or the trace's note when it opens
};

TEST(TtyPortLock, EveryStateOfTheLockFile) {
  const fs::path dir = fs::temp_directory_path() / ("zt_lock_" + std::to_string(::getpid()));
  fs::create_directories(dir / "locks");
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const std::string pty = ::ttyname(slave);
  TtyPortOptions options;
  options.lock_folder = (dir / "locks").string();
  const std::string lock = LockPathFor(pty, options.lock_folder);
  const std::string victim = (dir / "victim").string();
  const Processes p;
  const std::string me = std::to_string(::getpid());
  const std::string program =
      Slurp("/proc/self/comm").substr(0, Slurp("/proc/self/comm").find('\n'));
  const std::string held =
      pty + " is in use by process " + std::to_string(p.live) + " (" + program + ")";
  const std::string removed = pty + ": removed the stale lock " + lock + ": ";
  const std::string no_lock = "cannot lock " + pty + ": the lock " + lock;
  const std::string remove_it = " (remove it if no program uses the port)";
  const std::string ten = TenCharacters(p.live);
  const Row rows[] = {
      {"empty", Make::kText, "", true, removed + "it is empty\n"},
      {"garbage", Make::kText, "not a pid\n", true, removed + "it holds no process number\n"},
      {"binary garbage", Make::kText, std::string("\x00\xff\x13\x37\x42\x99\x01", 7), true,
       removed + "it holds no process number\n"},
      {"pid 0", Make::kText, "         0\n", true, removed + "it names no process\n"},
      {"negative pid", Make::kText, "        -5\n", true, removed + "it names no process\n"},
      {"dead pid", Make::kText, TenCharacters(p.dead), true,
       removed + "process " + std::to_string(p.dead) + " is gone\n"},
      {"our own pid", Make::kText, TenCharacters(::getpid()), false,
       pty + " is in use by this program (process " + me + ")"},
      {"ten characters", Make::kText, ten, false, held},
      {"ten characters, no newline", Make::kText, ten.substr(0, 10), false, held},
      {"binary pid", Make::kText, Binary(p.live), false, held},
      {"symlink to a file", Make::kSymlink, victim, false,
       no_lock + " is a symbolic link, not a lock file" + remove_it},
      {"dangling symlink", Make::kSymlink, (dir / "nothing").string(), false,
       no_lock + " is a symbolic link, not a lock file" + remove_it},
      {"a FIFO", Make::kFifo, "", false, no_lock + " is not a regular file" + remove_it},
  };
  for (const Row& row : rows) {
    fs::remove(lock);
    std::ofstream(victim) << ten;  // a live pid: what a followed link would read
    if (row.make == Make::kText) std::ofstream(lock, std::ios::binary) << row.text;
    if (row.make == Make::kSymlink) fs::create_symlink(row.text, lock);
    if (row.make == Make::kFifo) {
      ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0) << row.name;
    }
    TraceCapture trace;
    TtyOpenError error;
    auto port = TtyPort::Open(pty, {}, options, &error);
    EXPECT_EQ(port != nullptr, row.opens) << row.name << ": " << error.text;
    if (port) {
      EXPECT_TRUE(trace.Contains(row.told))
          << row.name << ": " << ::testing::PrintToString(trace.Lines());
      EXPECT_EQ(Slurp(lock), TenCharacters(::getpid())) << row.name;
    } else {
      EXPECT_EQ(error.text, row.told) << row.name;
      const bool regular = fs::is_regular_file(fs::symlink_status(lock));
      EXPECT_EQ(regular, row.make == Make::kText) << row.name << ": the lock was replaced";
      EXPECT_EQ(regular ? Slurp(lock) : row.text, row.text) << row.name;
    }
    EXPECT_EQ(Slurp(victim), ten) << row.name;
    port.reset();
    EXPECT_EQ(fs::exists(fs::symlink_status(lock)), !row.opens) << row.name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "locks"), fs::directory_iterator()),
              row.opens ? 0 : 1)
        << row.name << ": a private file was left behind";
  }
  ::close(slave);
  ::close(master);
  fs::remove_all(dir);
}

// Tests keep their ports' locks in their own folder (a lock a killed program
// left in the system's folder then never refuses their port); an installed
// program, which never sets the variable, always uses the system's folder.
TEST(TtyPortLock, TheFolderIsTheSystemsUnlessATestNamesItsOwn) {
  const char* before = std::getenv("ZENTREL_PORT_LOCK_DIR");
  const std::string saved = before ? before : "";
  const std::string system = fs::is_directory("/run/lock") ? "/run/lock" : "/var/lock";
  const struct {
    const char* value;  // nullptr: unset
    std::string folder;
  } rows[] = {{nullptr, system}, {"", system}, {"/tmp/a test's locks", "/tmp/a test's locks"}};
  for (const auto& row : rows) {
    if (row.value)
      ::setenv("ZENTREL_PORT_LOCK_DIR", row.value, 1);
    else
      ::unsetenv("ZENTREL_PORT_LOCK_DIR");
    EXPECT_EQ(SystemLockFolder(), row.folder) << (row.value ? row.value : "unset");
  }
  if (before)
    ::setenv("ZENTREL_PORT_LOCK_DIR", saved.c_str(), 1);
  else
    ::unsetenv("ZENTREL_PORT_LOCK_DIR");
}

}  // namespace
}  // namespace zentrel
