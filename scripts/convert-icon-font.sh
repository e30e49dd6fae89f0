#!/usr/bin/env bash
# Converts the "Material Icons Outlined" font of the npm package material-icons (Apache-2.0) into
# src/assets/MaterialIconsOutlined-Regular.otf. Run once; the result is committed.
set -euo pipefail
cd "$(dirname "$0")/.."
apt-get install -y -qq python3-fonttools python3-brotli >/dev/null
work=$(mktemp -d)
(cd "$work" && npm pack material-icons@1.13.14 >/dev/null && tar xzf material-icons-1.13.14.tgz)
/usr/bin/python3 - "$work/package/iconfont/material-icons-outlined.woff2" src/assets/MaterialIconsOutlined-Regular.otf <<'PY'
import sys
from fontTools.ttLib import TTFont
font = TTFont(sys.argv[1])
font.flavor = None  # woff2 -> plain OpenType (CFF outlines)
font.save(sys.argv[2])
PY
cp "$work/package/LICENSE" src/assets/MaterialIconsOutlined-LICENSE.txt
rm -rf "$work"
