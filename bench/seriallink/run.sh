#!/usr/bin/env bash
# Builds and runs the serial link benchmarks (about 20 s) in the given build
# directory (default: build).
set -euo pipefail
build="${1:-build}"
cd "$(dirname "$0")/../.."
ninja -C "$build" seriallink_bench
"$build/bench/seriallink/seriallink_bench" --benchmark_counters_tabular=true
