#!/bin/sh
# Runs the summary benchmark and its numpy peer on the same cells, one after the other.
#   bench/run_summary_bench.sh [BUILD_DIR]
set -e
build=${1:-build}
here=$(dirname "$0")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
VEROLA_BENCH_EXPORT="$folder" "$build/bin/bench_summary_bench" --benchmark_counters_tabular=true
"${PYTHON:-/usr/bin/python3}" "$here/summary_numpy.py" "$folder"
