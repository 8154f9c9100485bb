// A PostgreSQL server of the tests' own: pg_ctl from the Debian package on a
// copy (in a scratch folder) of a cluster initdb made once for the build
// tree, listening only on a Unix socket in that
// folder (no TCP), stopped by its pid. initdb refuses root, so under root
// the server runs as the `postgres` user (else `nobody`) owning the folder.
// One per test program, through PgEnvironment; it cannot start: tests fail.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>

namespace zentrel::testing {

class PgServer {
 public:
  PgServer();  // initdb and start; throws std::runtime_error with the reason
  ~PgServer();
  PgServer(const PgServer&) = delete;
  PgServer& operator=(const PgServer&) = delete;

  // A new empty place for a queue, as a postgresql:// address.
  std::string NewDatabase();
  std::string Address(const std::string& database) const;
  void Start();  // again, after Stop
  void Stop();   // fast shutdown, waited for
  pid_t Pid() const { return pid_; }
  const std::string& Dir() const { return dir_; }

 private:
  void Run(const std::vector<std::string>& argv, const std::string& log) const;
  void MakeTemplate() const;
  std::string dir_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  pid_t pid_ = -1;
  int databases_ = 0;
};

// The server of this test program, started before its first test.
class PgEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

PgServer& TestPg();

}  // namespace zentrel::testing
