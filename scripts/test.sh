#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
build="${VEROLA_BUILD_DIR:-$root/build}"
# A test that hangs fails after its time limit instead of holding the run.
ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)"
