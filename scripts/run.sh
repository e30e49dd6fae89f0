#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vellora in release mode and runs its main job:
# the benchmark over the given books (or over the sample books kept in the repository).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)"
if [ $# -eq 0 ]; then
  set -- samples/*
fi
exec build/bench/vellora-bench "$@"
