#!/usr/bin/env bash
# Installs what is missing, builds, and starts the workbench on the bundled demo data.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
build="${VEROLA_BUILD_DIR:-$root/build}"
# The demo keeps its settings beside the build, so a user's own settings are left alone.
export VEROLA_SYSTEM_DIR="${VEROLA_SYSTEM_DIR:-$build/demo-system}"
mkdir -p "$VEROLA_SYSTEM_DIR"
# The workbench speaks Russian; so do Qt's own dialogs in the demo.
export LANGUAGE="${VEROLA_DEMO_LANGUAGE:-ru}"
exec "$build/bin/verola" "$@"
