#!/usr/bin/env bash
# Builds the store benchmark in a Release tree and runs it. The 100,000-
# recipient file is made on the first run in the temp folder and reused.
# Usage: bench/store/run.sh [BUILD_DIR] [benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build-release}
shift || true
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target store_bench -j 2
"$BUILD/bench/store/store_bench" "$@"
