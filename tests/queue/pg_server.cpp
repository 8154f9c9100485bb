// The test server of pg_server.h. Each command runs in a child that drops to
// the server's user first; pg_ctl -w waits for the server to accept
// connections, and the stop waits on a pidfd for the postmaster to exit.
// initdb runs once per build tree: its cluster is kept as a template (made
// under a file lock, renamed into place when whole) and each server starts
// from a copy of it.
#include "tests/queue/pg_server.h"

#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace zentrel::testing {

namespace {

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";
constexpr const char* kTemplate = ZENTREL_PG_TEMPLATE;  // in the build tree
constexpr int kStopLimitMs = 20000;

std::unique_ptr<PgServer> server;

}  // namespace

PgServer::PgServer() {
  char dir[] = "/tmp/zentrel-pg-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("cannot make a folder for PostgreSQL");
  dir_ = dir;
  if (geteuid() == 0) {
    const passwd* user = getpwnam("postgres");
    if (!user) user = getpwnam("nobody");
    if (!user) throw std::runtime_error("no user to run PostgreSQL as (postgres, nobody)");
    uid_ = user->pw_uid;
    gid_ = user->pw_gid;
    if (chown(dir, uid_, gid_) != 0) throw std::runtime_error("cannot give " + dir_ + " away");
  }
  MakeTemplate();
  Run({"/bin/cp", "-a", std::string(kTemplate) + "/data", dir_ + "/data"}, dir_ + "/cp.log");
  std::ofstream conf(dir_ + "/data/postgresql.conf", std::ios::app);
  conf << "listen_addresses = ''\nunix_socket_directories = '" << dir_ << "'\n"
       << "fsync = off\nfull_page_writes = off\nsynchronous_commit = off\n"
       << "shared_buffers = 16MB\nmax_connections = 50\n";
  conf.close();
  Start();
}

PgServer::~PgServer() {
  Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

// A child that becomes the server's user, writes to `log` and runs argv.
void PgServer::Run(const std::vector<std::string>& argv, const std::string& log) const {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
      _exit(126);
    }
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::ifstream in(log);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    throw std::runtime_error(argv[0] + " failed (status " + std::to_string(status) + "): " + said);
  }
}

// The template cluster, unless a test program made it already (another may
// be making it now: the lock waits for it).
void PgServer::MakeTemplate() const {
  const std::string tmpl = kTemplate;
  std::filesystem::create_directories(tmpl);
  const int lock = open((tmpl + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0 || flock(lock, LOCK_EX) != 0) {
    if (lock >= 0) close(lock);
    throw std::runtime_error("cannot lock " + tmpl + "/lock");
  }
  try {
    if (!std::filesystem::exists(tmpl + "/data/PG_VERSION")) {
      const std::string made = tmpl + "/making";
      std::filesystem::remove_all(made);
      std::filesystem::remove_all(tmpl + "/data");
      std::filesystem::create_directory(made);
      if (geteuid() == 0 && chown(made.c_str(), uid_, gid_) != 0) {
        throw std::runtime_error("cannot give " + made + " away");
      }
      Run({std::string(kBin) + "initdb", "-D", made + "/data", "-U", "zentrel", "-A", "trust", "-E",
           "UTF8", "--no-sync", "--no-instructions"},
          made + "/initdb.log");
      std::filesystem::rename(made + "/data", tmpl + "/data");
      std::filesystem::remove_all(made);
    }
  } catch (...) {
    close(lock);
    throw;
  }
  close(lock);
}

void PgServer::Start() {
  Run({std::string(kBin) + "pg_ctl", "-D", dir_ + "/data", "-l", dir_ + "/server.log", "-w", "-t",
       "30", "start"},
      dir_ + "/pg_ctl.log");
  std::ifstream pid_file(dir_ + "/data/postmaster.pid");
  if (!(pid_file >> pid_) || pid_ <= 0) throw std::runtime_error("PostgreSQL wrote no pid");
}

void PgServer::Stop() {
  if (pid_ <= 0) return;
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  kill(pid_, SIGINT);  // fast shutdown: sessions are ended, nothing waits
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    poll(&p, 1, kStopLimitMs);
    close(pidfd);
  }
  pid_ = -1;
}

std::string PgServer::Address(const std::string& database) const {
  return "postgresql:///" + database + "?host=" + dir_ + "&user=zentrel";
}

// A schema of its own in the one database (much quicker to make than a
// database): the queue's tables land in the first schema of its path.
std::string PgServer::NewDatabase() {
  const std::string name = "t" + std::to_string(++databases_);
  PGconn* conn = PQconnectdb(Address("postgres").c_str());
  PGresult* result = PQexec(conn, ("CREATE SCHEMA " + name).c_str());
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  const std::string why = PQerrorMessage(conn);
  PQclear(result);
  PQfinish(conn);
  if (!ok) throw std::runtime_error("cannot create schema " + name + ": " + why);
  return Address("postgres") + "&options=-csearch_path%3D" + name;
}

void PgEnvironment::SetUp() {
  try {
    server = std::make_unique<PgServer>();
  } catch (const std::exception& e) {
    FAIL() << "the tests' PostgreSQL server cannot start: " << e.what();
  }
}

void PgEnvironment::TearDown() { server.reset(); }

PgServer& TestPg() {
  if (!server) throw std::runtime_error("the tests' PostgreSQL server is not running");
  return *server;
}

}  // namespace zentrel::testing
