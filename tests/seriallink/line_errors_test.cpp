// The decoding of parity marks, split anywhere across reads (the words list
// of each error word is checked through the link's reports).
#include "seriallink/line_errors.h"

#include <gtest/gtest.h>

#include "seriallink/comm_device.h"

namespace zentrel {
namespace {

TEST(ParmrkDecoder, MarksAndEscapesAcrossAnySplit) {
  struct Row {
    const char* name;
    std::string in;
    std::string out;
    std::uint32_t errors;
  };
  const std::vector<Row> rows{
      {"plain bytes", std::string("ID=\0x", 5), std::string("ID=\0x", 5), 0},
      {"escaped 0377", "a\377\377b", "a\377b", 0},
      {"parity-marked byte", std::string("a\377\0Qb", 5), "aQb", CE_RXPARITY},
      {"marked NUL: framing", std::string("\377\0\0", 3), std::string("\0", 1), CE_FRAME},
  };
  for (const Row& row : rows) {
    for (std::size_t split = 0; split <= row.in.size(); ++split) {
      ParmrkDecoder d;
      std::string out(row.in.size(), '?');
      std::uint32_t errors = 0;
      std::size_t n = d.Decode(row.in.data(), split, out.data(), &errors);
      n += d.Decode(row.in.data() + split, row.in.size() - split, out.data() + n, &errors);
      out.resize(n);
      EXPECT_EQ(out, row.out) << row.name << ", split at " << split;
      EXPECT_EQ(errors, row.errors) << row.name << ", split at " << split;
    }
  }
}

}  // namespace
}  // namespace zentrel
