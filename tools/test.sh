#!/usr/bin/env bash
# Builds Tavelo with AddressSanitizer and UndefinedBehaviorSanitizer, warnings
# as errors, and runs every test (model, session and windows) in that build.
# The build is a unity build: each library's and each test program's sources
# compiled a few at a time in one unit, which builds in less than half the time
# (the headers parsed and their inline code instrumented once a unit, not once a
# file). The Debug and release builds compile the files one by one.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTAVELO_WERROR=ON -DTAVELO_SANITIZE=ON -DTAVELO_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs" | tee build-test/ctest-summary.log
