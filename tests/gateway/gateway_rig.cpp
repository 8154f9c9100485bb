// The rig of gateway_rig.h.
#include "tests/gateway/gateway_rig.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zentrel::gateway::testing {

namespace {

void MakeRecipients(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql =
      "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT,"
      " pagephone TEXT); CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);";
  for (int pin = 1001; pin <= 1040; ++pin) {
    // Two terminals: even PINs behind 5550, odd ones behind 5551.
    sql += "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES('" + std::to_string(pin) +
           "', 'First', 'Last', '555" + std::to_string(pin % 2) + "');";
  }
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace

SocketClient::SocketClient(const std::string& path) {
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SocketClient::~SocketClient() {
  if (fd_ >= 0) close(fd_);
}

void SocketClient::SendRaw(const std::string& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the daemon closed it: seen by the next read
    done += static_cast<std::size_t>(n);
  }
}

json SocketClient::Read(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      const std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return json::parse(line, nullptr, false);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      return nullptr;
    }
    char chunk[65536];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n <= 0) return nullptr;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

json SocketClient::Ask(const json& request, std::chrono::milliseconds limit) {
  SendRaw(request.dump() + "\n");
  return Read(limit);
}

bool SocketClient::ClosedWithin(std::chrono::milliseconds limit) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(limit.count())) <= 0) return false;
  char byte;
  return read(fd_, &byte, 1) <= 0;
}

GatewayRig::GatewayRig() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zt-gateway-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  dir_ = pattern;
  MakeRecipients(Path("vp.mdb"));
  queue_ = Path("queue.db");
  std::ofstream(Path("lines.conf")) << "tcp 127.0.0.1:1\ntcp 127.0.0.1:2\n";
}

GatewayRig::~GatewayRig() {
  daemon_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void GatewayRig::Start(const std::vector<std::string>& extra, const std::vector<std::string>& env) {
  std::vector<std::string> argv{ZENTREL_GATEWAY,    "--db",     Path("vp.mdb"), "--lines",
                                Path("lines.conf"), "--queue",  queue_,         "--socket",
                                socket(),           "--worker", worker_,        "--config",
                                Path("none.conf")};
  std::ofstream(Path("none.conf")) << "# nothing\n";
  // The HTTP listener is off unless a test asks for it: its default port
  // would be shared by every test running at once.
  if (std::find(extra.begin(), extra.end(), "--http") == extra.end()) {
    argv.insert(argv.end(), {"--http", "off"});
  }
  argv.insert(argv.end(), extra.begin(), extra.end());
  // No SNPP port unless the test asks for one: tests run side by side.
  if (std::find(extra.begin(), extra.end(), "--snpp") == extra.end()) {
    argv.insert(argv.end(), {"--snpp", "off"});
  }
  std::vector<std::string> all_env{"FAKE_WORKER_LOG=" + Path("terminal.log"),
                                   "FAKE_WORKER_PLAN=" + Path("plan"), LockEnv()};
  all_env.insert(all_env.end(), env.begin(), env.end());
  daemon_ = std::make_unique<e2e::Process>(argv, all_env);
  if (!daemon_->WaitForErrText("listening on", 10s)) {
    ADD_FAILURE() << "the gateway did not start: " << daemon_->Wait(2s).err;
  }
}

int GatewayRig::Stop() {
  daemon_->Signal(SIGTERM);
  return daemon_->Wait(20s).status;
}

void GatewayRig::Plan(const std::vector<std::string>& steps) {
  std::ofstream plan(Path("plan"));
  for (const std::string& step : steps) plan << step << "\n";
}

std::map<long, std::vector<bool>> GatewayRig::Delivered() const {
  std::map<long, std::vector<bool>> delivered;
  std::ifstream log(Path("terminal.log"));
  for (std::string line; std::getline(log, line);) {
    const json entry = json::parse(line, nullptr, false);
    if (entry.is_object()) delivered[entry["id"].get<long>()].push_back(entry["dup"].get<bool>());
  }
  return delivered;
}

long GatewayRig::Submit(const std::string& pin, const std::string& text, json extra, json* answer) {
  SocketClient client(socket());
  json page = {{"pin", pin}, {"text", text}};
  page.update(extra);
  const json got = client.Ask({{"op", "submit"}, {"pages", {page}}});
  if (answer) *answer = got;
  return got.value("ok", false) ? got["ids"][0].get<long>() : 0;
}

std::map<long, json> GatewayRig::WatchAll(const std::vector<long>& ids,
                                          std::chrono::milliseconds limit) {
  SocketClient client(socket());
  client.SendRaw(json({{"op", "watch"}, {"ids", ids}}).dump() + "\n");
  std::map<long, json> pages;
  for (json line = client.Read(limit); line.is_object(); line = client.Read(limit)) {
    if (line.contains("done")) break;
    if (line.contains("page")) pages[line["page"]["id"].get<long>()] = line["page"];
  }
  return pages;
}

}  // namespace zentrel::gateway::testing
