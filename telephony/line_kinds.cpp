// The table of line kinds, one row each; a kind's word, parse, name, check
// and open live in its own file. Adding a kind is its file, its row here and
// its file in CMakeLists.txt.
#include <algorithm>
#include <iterator>

#include "telephony/line_kind.h"

namespace zentrel {

// Defined in modem_line.cpp, serial_line.cpp, tcp_line.cpp, tls_line.cpp and
// wctp_line.cpp.
extern const LineKindOps kModemLineKind;
extern const LineKindOps kSerialLineKind;
extern const LineKindOps kTcpLineKind;
extern const LineKindOps kTlsLineKind;
extern const LineKindOps kWctpLineKind;

namespace {

constexpr const LineKindOps* kKinds[] = {
    &kModemLineKind, &kSerialLineKind, &kTcpLineKind, &kTlsLineKind, &kWctpLineKind,
};

}  // namespace

LineCheck Unusable(LineProblemKind kind, std::string cause, std::string system) {
  LineCheck check;
  check.usable = false;
  check.problem.kind = kind;
  check.problem.cause = std::move(cause);
  check.problem.system = std::move(system);
  return check;
}

std::span<const LineKindOps* const> LineKinds() { return kKinds; }

const LineKindOps* FindLineKind(std::string_view word) {
  const auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                  [word](const LineKindOps* kind) { return kind->word == word; });
  return found == std::end(kKinds) ? nullptr : *found;
}

}  // namespace zentrel
