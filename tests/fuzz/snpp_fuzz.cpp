// Fuzz target for the SNPP conversation: the bytes are a client's, cut into
// reads where a byte 0x01 stands; the back-end knows two PINs and one user
// and takes every SEND, so every path of the command and DATA parser runs.
// Small limits make long lines and long texts common.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gateway/snpp_session.h"

namespace {

class Backend : public zentrel::gateway::SnppBackend {
 public:
  bool KnownPin(const std::string& pin) override { return pin == "1001" || pin == "1002"; }
  bool IsUser(const std::string& user) override { return user == "u"; }
  bool Login(const std::string& user, const std::string& password) override {
    return user == "u" && password == "p";
  }
  zentrel::gateway::SnppSendResult Send(const std::vector<zentrel::gateway::SnppPage>& pages,
                                        const std::string&) override {
    if (pages.empty() || pages.front().text.empty()) __builtin_trap();  // never sent empty
    return {{static_cast<std::int64_t>(pages.size())}, false, ""};
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Backend backend;
  zentrel::gateway::SnppConfig config;
  config.max_line = 64;
  config.max_text = 128;
  config.login_required = size > 0 && data[0] == 'L';
  zentrel::gateway::SnppSession session(config, backend);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size() && !session.Closing(); ++i) {
    if (i == bytes.size() || bytes[i] == '\x01') {
      (void)session.Feed(bytes.substr(start, i - start), 1796644800);
      start = i + 1;
    }
  }
  return 0;
}
