#!/usr/bin/env bash
# Installs a built Vellora into a temporary staging folder (DESTDIR) the way the README's install
# command does, checks that the program, the desktop entry and the icons stand where a desktop
# looks for them, validates the entry, and starts the installed program on the sample book.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
prefix=/usr/local
DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null
root=$stage$prefix
expected=(bin/vellora share/applications/vellora-qt.desktop share/icons/hicolor/scalable/apps/vellora-qt.svg)
for size in 16 32 48 64 128 256 512; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/vellora-qt.png")
done
status=0
for file in "${expected[@]}"; do
  if [ ! -f "$root/$file" ]; then
    echo "check-install: missing $prefix/$file"
    status=1
  fi
done
[ -x "$root/bin/vellora" ] || { echo "check-install: $prefix/bin/vellora is not executable"; status=1; }
desktop-file-validate "$root/share/applications/vellora-qt.desktop" || status=1
if [ $status -eq 0 ]; then
  bash scripts/check-app.sh "$root/bin/vellora" samples/the-lamplighter.txt || status=1
fi
[ $status -eq 0 ] && echo "check-install: ${#expected[@]} files installed, desktop entry valid"
exit $status
