#!/usr/bin/env bash
# Builds Tavelo and runs every test: once in a warnings-as-errors debug build,
# once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

run_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DTAVELO_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

run_build build-test
UBSAN_OPTIONS=print_stacktrace=1 run_build build-asan -DTAVELO_SANITIZE=ON -DTAVELO_BUILD_BENCH=OFF
