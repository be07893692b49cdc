#!/usr/bin/env bash
# Configures (once) and builds everything into ./build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${VEROLA_BUILD_DIR:-$root/build}"
# Compiler cache entries keyed by paths within the checkout, so that another clone of the same
# sources finds them.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)"
