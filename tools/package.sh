#!/usr/bin/env bash
# Builds the release programs (and the benchmarks, which only mean something
# optimised) and the Debian package, and lists its contents.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTAVELO_WERROR=ON -DTAVELO_BUILD_TESTS=OFF \
  -DTAVELO_BUILD_BENCH=ON >/dev/null
cmake --build build-release -j"$jobs"
(cd build-release && cpack -G DEB >/dev/null)
deb=$(ls build-release/tavelo_2.0.*_amd64.deb)
echo "$deb"
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Architecture|Depends):'
dpkg-deb --contents "$deb"
