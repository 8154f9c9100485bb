// The registrations, under one mutex. Entries are dropped before their
// descriptor is closed, so a reused number never finds a stale entry.
#include "seriallink/handover.h"

#include <unistd.h>

#include <map>
#include <mutex>

namespace zentrel {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<int, CommHandover> entries;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterHandover(int fd, CommHandover handover) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.entries[fd] = std::move(handover);
}

CommHandover FindHandover(int fd) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.entries.find(fd);
  return it == r.entries.end() ? CommHandover{} : it->second;
}

void CloseCommHandle(int fd) {
  CommHandover dropped;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.entries.find(fd);
    if (it != r.entries.end()) {
      dropped = std::move(it->second);
      r.entries.erase(it);
    }
  }
  if (fd >= 0) ::close(fd);
}

}  // namespace zentrel
