#!/usr/bin/env bash
# Builds Release into build-bench/ and runs the benchmarks: the import at 100,000 and 1,000,000
# calls (one process each, so each peak memory is its own), then the window on the database of
# the larger import. Usage: tools/bench.sh [CALLS]   (default 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
calls="${1:-1000000}"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_import bench_tree >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
small=$(( calls < 100000 ? calls : 100000 ))
echo "== import, ${small} calls"
build-bench/bench/bench_import --calls "$small"
echo
echo "== import, ${calls} calls"
build-bench/bench/bench_import --calls "$calls" --keep "$work/db"
echo
echo "== tree and root selection, ${calls} calls"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_tree --dir "$work/db" 2> >(grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints >&2)
