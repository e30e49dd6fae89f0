#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vellora with AddressSanitizer and UBSan, runs every test;
# then builds the libFuzzer harnesses with clang and replays their seed corpora and regression inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_SANITIZE=ON
cmake --build build-asan --parallel "$(nproc)"
status=0
(cd build-asan && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || status=1

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_FUZZ=ON
cmake --build build-fuzz --parallel "$(nproc)"
(cd build-fuzz && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || status=1
exit $status
