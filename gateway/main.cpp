// zentrel-gateway: queues pages handed over on a local socket and delivers
// them over every configured line, one worker process per call. Runs in the
// foreground and logs to standard error.
#include "gateway/daemon.h"
#include "gateway/http_token_command.h"
#include "gateway/settings.h"

int main(int argc, char** argv) {
  if (zentrel::gateway::IsTokenCommand(argc, argv)) {
    return zentrel::gateway::RunTokenCommand(argc, argv);
  }
  auto settings = zentrel::gateway::ParseSettings(argc, argv);
  if (const int* status = std::get_if<int>(&settings)) return *status;
  return zentrel::gateway::RunDaemon(std::get<zentrel::gateway::GatewaySettings>(settings));
}
