#!/usr/bin/env bash
# Builds everything but the benchmarks with AddressSanitizer and UndefinedBehaviorSanitizer
# into ./build-sanitize and runs every test there. Leaks are reported, and any undefined
# behaviour ends the program, so either fails its test.
#   scripts/sanitize.sh [-j JOBS]      (default: all cores)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
if [ "${1:-}" = "-j" ] && [ -n "${2:-}" ]; then
  jobs=$2
fi
bash "$root/scripts/install-deps.sh"
build="${VEROLA_SANITIZE_DIR:-$root/build-sanitize}"
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEROLA_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$flags"
fi
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
