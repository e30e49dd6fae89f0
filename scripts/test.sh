#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine; builds the libFuzzer harnesses with clang and replays their
# seed corpora and regression inputs (ctest in build-fuzz, no fuzzing); then builds Vellora with
# AddressSanitizer and UBSan and runs every test, so that CTest's summary of the suite comes last.
# Fails when either step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
status=0

echo "== fuzz replay"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_FUZZ=ON
cmake --build build-fuzz --parallel "$(nproc)"
(cd build-fuzz && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || {
  echo "== fuzz replay FAILED"
  status=1
}

echo "== tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_SANITIZE=ON
cmake --build build-asan --parallel "$(nproc)"
(cd build-asan && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || status=1
exit $status
