#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) in build-fuzz and runs each for SECONDS (default 600),
# FUZZ_PARALLEL (default 3) at a time, on inputs of up to FUZZ_MAX_LEN bytes (default 16384: the
# seeds fit, and larger inputs only run slower). Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
#
# Each harness fuzzes from its seed corpus, the inputs kept under tests/fuzz-regressions/<harness>/
# and its own growing corpus in build-fuzz/fuzz-work/<harness>/corpus. A crash, a leak, an input
# slower than 10 s or one that takes more than 2 GB is a finding: it is written as
# build-fuzz/fuzz-work/<harness>/crash-* (or leak-, timeout-, oom-) and fuzzing goes on. The
# script ends by listing the executions and findings of every harness, failing when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-600}
shift || true
parallel=${FUZZ_PARALLEL:-3}
max_len=${FUZZ_MAX_LEN:-16384}

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLORA_FUZZ=ON >/dev/null
cmake --build build-fuzz --parallel "$parallel"

if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    harnesses+=("${name#fuzz_}")
  done
fi

# The dictionaries of each harness, from fuzz/dict/.
dictionary_pieces() {
  case $1 in
    epub) echo zip xml css ;;
    comic) echo rar ;;
    fb2) echo zip xml ;;
    html | layout) echo xml css ;;
    *) [ -f "$root/fuzz/dict/$1.dict" ] && echo "$1" ;;
  esac
}

run_one() {
  local harness=$1 work=$root/build-fuzz/fuzz-work/$1
  mkdir -p "$work/corpus"
  local dict_args=() pieces
  pieces=$(dictionary_pieces "$harness" || true)
  if [ -n "$pieces" ]; then
    : >"$work/dictionary"
    for piece in $pieces; do cat "$root/fuzz/dict/$piece.dict" >>"$work/dictionary"; done
    dict_args=(-dict="$work/dictionary")
  fi
  local inputs=("$work/corpus" "$root/build-fuzz/fuzz/corpus/$harness")
  [ -d "$root/tests/fuzz-regressions/$harness" ] && inputs+=("$root/tests/fuzz-regressions/$harness")
  echo "fuzz: $harness for ${seconds}s"
  LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp \
    "$root/build-fuzz/fuzz/fuzz_$harness" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$work/" \
    "${dict_args[@]}" "${inputs[@]}" >"$work/log" 2>&1 || true
}
export -f run_one dictionary_pieces
export root seconds max_len
printf '%s\n' "${harnesses[@]}" | xargs -P "$parallel" -I{} bash -c 'run_one "$1"' _ {}

status=0
for harness in "${harnesses[@]}"; do
  work=build-fuzz/fuzz-work/$harness
  runs=$(grep -o '^#[0-9]*' "$work/log" | tail -1 | tr -d '#')
  findings=$(find "$work" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  printf '%-10s %12s executions  %s findings\n' "$harness" "${runs:-0}" "$(echo -n "$findings" | grep -c . || true)"
  if [ -n "$findings" ]; then
    status=1
    echo "$findings" | sed 's/^/    /'
  fi
done
exit $status
