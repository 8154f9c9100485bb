#!/usr/bin/env bash
# The first wake-up CR after CONNECT over 10 pages from the real form through
# the emulator (about a minute): mean and largest deviation from 4000 ms.
# Usage: bench/form/run.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
BENCH="$PWD/$BUILD/bench/form/wakeup_bench"
[ -x "$BENCH" ] || { echo "missing $BENCH: ninja -C $BUILD wakeup_bench" >&2; exit 1; }
"$BENCH" 2>/dev/null
