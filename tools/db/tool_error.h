// The database tool's one error type: a message for the user, printed by
// main() as "zentrel-db: <message>" with exit status 1. The store's own
// CDaoException is printed the same way.
#pragma once

#include <stdexcept>
#include <string>

namespace zentrel::dbtool {

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zentrel::dbtool
