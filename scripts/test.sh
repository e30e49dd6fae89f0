#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vellora with AddressSanitizer and UBSan, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_SANITIZE=ON
cmake --build build-asan --parallel "$(nproc)"
cd build-asan
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
