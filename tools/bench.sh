#!/usr/bin/env bash
# Builds Release into build-bench/ and runs the benchmarks on demand: the import at 100,000 calls,
# then for each size the import (its own process, so each peak memory is its own) and the window
# on the database it left: tree against the raw GROUP BY, blocked event loop, selections, and the
# call export against the sqlite3 shell's csv mode; last
# the recalculation of a million calls against their import.
# Usage: tools/bench.sh [SIZES] [DESTINATIONS]
#   SIZES         comma-separated call counts (default 1000000,3000000,10000000)
#   DESTINATIONS  distinct destinations the generated company calls (default 2000)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes="${1:-1000000,3000000,10000000}"
destinations="${2:-2000}"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_import bench_tree bench_recalc bench_export >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
quiet() { grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints >&2; }
echo "== import, 100000 calls, ${destinations} destinations"
build-bench/bench/bench_import --calls 100000 --destinations "$destinations"
for calls in ${sizes//,/ }; do
  echo
  echo "== import, ${calls} calls, ${destinations} destinations"
  build-bench/bench/bench_import --calls "$calls" --destinations "$destinations" --keep "$work/db"
  echo
  echo "== window, ${calls} calls"
  QT_QPA_PLATFORM=offscreen build-bench/bench/bench_tree --dir "$work/db" 2> >(quiet)
  echo
  echo "== call export, ${calls} calls"
  build-bench/bench/bench_export --dir "$work/db"
  rm -rf "$work/db"
done
echo
echo "== recalculation, 1000000 calls, ${destinations} destinations"
build-bench/bench/bench_recalc --calls 1000000 --destinations "$destinations"
echo
echo "== call report, 100000 calls"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_report --calls 100000 2> >(quiet)
