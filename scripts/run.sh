#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vellora in release mode and runs the application on the
# given book (by default the sample book kept in the repository). It needs a display; without one,
# set QT_QPA_PLATFORM=offscreen. The settings store is written when the application quits (closing
# the window, or Ctrl+C / SIGTERM).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build-release.sh build
if [ $# -eq 0 ]; then
  set -- samples/the-lamplighter.txt
fi
exec build/vellora "$@"
