// What an SNPP conversation does to the gateway: a PIN is looked up in the
// recipients, a LOGIn is checked against the configured users' hashes, and
// SEND goes through the socket's own submission (Handler::SubmitBy), so
// each page is checked as a direct send checks it, all or none, and
// committed before the 250.
#pragma once

#include <functional>

#include "gateway/handler.h"
#include "gateway/recipients.h"
#include "gateway/snpp_server.h"
#include "gateway/snpp_session.h"
#include "gateway/snpp_settings.h"
#include "gateway/snpp_users.h"

namespace zentrel::gateway {

class QueueSnppBackend : public SnppBackend {
 public:
  QueueSnppBackend(Handler& handler, const Recipients& recipients, SnppUsers users,
                   std::function<double()> clock)
      : handler_(handler), recipients_(recipients), users_(std::move(users)), clock_(clock) {}

  bool KnownPin(const std::string& pin) override;
  bool IsUser(const std::string& user) override { return users_.count(user) > 0; }
  bool Login(const std::string& user, const std::string& password) override;
  SnppSendResult Send(const std::vector<SnppPage>& pages, const std::string& by) override;

 private:
  Handler& handler_;
  const Recipients& recipients_;
  SnppUsers users_;
  std::function<double()> clock_;
};

// The SNPP listener of `settings` (on systemd's socket when it handed one
// over), or null when it is off. Throws std::runtime_error when it cannot
// listen.
std::unique_ptr<SnppServer> OpenSnpp(const SnppSettings& settings, Handler& handler,
                                     const Recipients& recipients, std::function<double()> clock);

}  // namespace zentrel::gateway
