// Benchmark databases: DIR/vp-N/vp.mdb with N recipients in random PIN order,
// made once and reused. DIR is $ZENTREL_BENCH_DIR (run.sh sets it and makes
// the same files with the sqlite3 tool) or a folder under the temp folder.
#pragma once

#include <string>

namespace zentrel::bench {

// The folder holding vp.mdb with `count` recipients; made when missing.
// DIR is $ZENTREL_BENCH_DIR or a folder under the system's temporary folder.
std::string BenchFolder(int count);

}  // namespace zentrel::bench
