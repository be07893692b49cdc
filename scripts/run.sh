#!/usr/bin/env bash
# Installs what is missing, builds, and starts the workbench on the demo study (or on the
# configuration given as the argument).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
build="${VEROLA_BUILD_DIR:-$root/build}"
# The demo keeps its settings beside the build, so a user's own settings are left alone; the build
# writes the demo's "RuzUzo.ini", "Local.Ini" and "Aliases.ini" there.
export VEROLA_SYSTEM_DIR="${VEROLA_SYSTEM_DIR:-$build/demo-system}"
mkdir -p "$VEROLA_SYSTEM_DIR"
# The workbench speaks Russian; so do Qt's own dialogs in the demo. The demo's dates are written
# day.month.year, so its short date format and decimal separator are the Russian ones too.
export LANGUAGE="${VEROLA_DEMO_LANGUAGE:-ru}"
unset LC_ALL
export LC_TIME="${VEROLA_DEMO_FORMATS:-ru_RU.UTF-8}"
export LC_NUMERIC="${VEROLA_DEMO_FORMATS:-ru_RU.UTF-8}"
if [ $# -eq 0 ]; then
  set -- "$build/bin/eco/work/Demo.DES"
fi
exec "$build/bin/verola" "$@"
