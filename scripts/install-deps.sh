#!/usr/bin/env bash
# Installs every Debian 12 package Vellora needs to build, test, benchmark and fuzz.
# Idempotent; run as root (or through sudo) on a fresh machine.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-image-formats-plugins
  libqt6svg6 libqt6opengl6-dev libgl-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
  qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtqml-workerscript
  qml6-module-qtquick-dialogs qml6-module-qtcore qml6-module-qttest qml6-module-qt-labs-platform
  qml6-module-qtquick-shapes
  libminizip-dev zlib1g-dev libarchive-dev libuchardet-dev libicu-dev libgumbo-dev libwoff-dev
  # Type for the books' scripts: DejaVu for Latin, Greek, Cyrillic, Hebrew and Arabic, Noto CJK
  # for Chinese, Japanese and Korean (without it such books show empty boxes), Noto's UI core
  # set for Thai, Lao, Khmer, Burmese and the Indian scripts (1.4 MB; the full Noto core is 40).
  fonts-dejavu-core fonts-noto-cjk fonts-noto-ui-core
  xvfb xauth imagemagick xdotool
  # Checks the desktop entry that the install rules put in place.
  desktop-file-utils
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
