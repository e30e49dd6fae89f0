#!/usr/bin/env bash
# Configures and builds Vellora in release mode, tests included, in the folder given (default
# build). scripts/run.sh and scripts/test.sh both build through it, so the tested build is the one
# that runs.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$dir" --parallel "$(nproc)"
