#!/usr/bin/env bash
# Builds Tavelo with AddressSanitizer and UndefinedBehaviorSanitizer, warnings
# as errors, and runs every test (model, session and windows) in that build.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTAVELO_WERROR=ON -DTAVELO_SANITIZE=ON -DTAVELO_BUILD_BENCH=OFF >/dev/null
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs" | tee build-test/ctest-summary.log
