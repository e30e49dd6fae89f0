#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, then:
# 1. builds the libFuzzer harnesses with clang and replays their seed corpora and regression inputs
#    (ctest in build-fuzz, no fuzzing);
# 2. builds the release configuration exactly as scripts/run.sh does (in build-release), runs every
#    test there and starts the built application on the sample book and a small EPUB, then
#    installs it into a staging folder and checks and starts the installed one;
# 3. builds with AddressSanitizer and UBSan (build-asan) and runs every test, so that CTest's summary
#    of the suite comes last.
# Fails when any step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
status=0
started=$SECONDS
step() { echo "== $1 (at $((SECONDS - started)) s)"; }

step "fuzz replay"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_FUZZ=ON
cmake --build build-fuzz --parallel "$(nproc)"
(cd build-fuzz && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || {
  echo "== fuzz replay FAILED"
  status=1
}

step "release tests"
bash scripts/build-release.sh build-release
(cd build-release && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || {
  echo "== release tests FAILED"
  status=1
}

step "started application"
bash scripts/check-app.sh build-release/vellora samples/the-lamplighter.txt tests/data/smoke.epub || {
  echo "== started application FAILED"
  status=1
}

step "installed application"
bash scripts/check-install.sh build-release || {
  echo "== installed application FAILED"
  status=1
}

step "sanitizer tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_SANITIZE=ON
cmake --build build-asan --parallel "$(nproc)"
(cd build-asan && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || status=1
echo "== done in $((SECONDS - started)) s"
exit $status
