#!/usr/bin/env bash
# Start-up with many recipients: for 1,000 and 100,000 recipients, runs
# zentrel (offscreen, quitting as soon as the form is shown and filled) under
# /usr/bin/time -v several times and reports the median wall time and peak
# memory, then runs app_bench on the same files for the store's raw walk.
# Usage: bench/app/run.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
RUNS=${2:-9}
ZENTREL="$PWD/$BUILD/app/zentrel"
BENCH="$PWD/$BUILD/bench/app/app_bench"
for program in "$ZENTREL" "$BENCH"; do
  [ -x "$program" ] || { echo "missing $program: ninja -C $BUILD zentrel app_bench" >&2; exit 1; }
done
export ZENTREL_BENCH_DIR=$(mktemp -d)
trap 'rm -rf "$ZENTREL_BENCH_DIR"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

make_db() {  # the same recipients app_bench would make
  mkdir -p "$ZENTREL_BENCH_DIR/vp-$1"
  sqlite3 "$ZENTREL_BENCH_DIR/vp-$1/vp.mdb" \
    "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT, pagephone TEXT);
     CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);
     WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $1)
     INSERT INTO VPdata(pin, fname, lname, pagephone)
     SELECT abs(random()) % 10000000, 'First' || i, 'Last' || i, '555' || i FROM n;"
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

printf '%-12s %14s %14s\n' recipients "median wall s" "peak RSS MB"
for count in 1000 100000; do
  make_db "$count"
  walls=() rss=()
  for _ in $(seq "$RUNS"); do
    out=$(cd "$ZENTREL_BENCH_DIR/vp-$count" &&
          ZENTREL_EXIT_AFTER_SHOW=1 /usr/bin/time -v "$ZENTREL" 2>&1 >/dev/null)
    walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0;
               for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' <<<"$out")")
    rss+=("$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' <<<"$out")")
  done
  printf '%-12s %14s %14s\n' "$count" "$(printf '%s\n' "${walls[@]}" | median)" \
    "$(printf '%s\n' "${rss[@]}" | sort -n | tail -1)"
done
echo
echo "Store raw walk and the form's fill on the same files (in-process):"
"$BENCH" --benchmark_filter='RawWalk|FormFill' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>&1 | grep -E 'median|Benchmark'
