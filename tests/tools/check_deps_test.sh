#!/usr/bin/env bash
# The dependency check passes on the configured build with the real list, and
# fails, naming the package, when a package the build needs is taken out of a
# copy of the list, or when a configuration comes from no Debian package.
# Usage: check_deps_test.sh SOURCE_FOLDER BUILD_FOLDER
set -uo pipefail
src=$1
build=$2
check="$src/tools/check_deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The real list is complete.
if ! out=$("$check" "$build" 2>&1); then
  fail "the real list was refused: $out"
fi

# Without Qt's OpenGL configuration package, Qt Charts cannot be configured.
grep -q 'libqt6opengl6-dev' "$src/tools/deps.sh" || fail "tools/deps.sh does not name libqt6opengl6-dev"
sed -E 's/(^|[[:space:]])libqt6opengl6-dev([[:space:]]|$)/\1\2/' "$src/tools/deps.sh" > "$work/deps.sh"
if bash "$work/deps.sh" --list | grep -qx 'libqt6opengl6-dev'; then
  fail "the copy of the list still names libqt6opengl6-dev"
fi
if out=$("$check" --deps "$work/deps.sh" "$build" 2>&1); then
  fail "a list without libqt6opengl6-dev was accepted"
elif ! grep -q 'Qt6OpenGL.*libqt6opengl6-dev' <<<"$out"; then
  fail "the refusal does not name Qt6OpenGL and its package: $out"
fi

# A configuration that no package installs (built by hand) is refused too.
mkdir -p "$work/fake/cmake/Handmade"
touch "$work/fake/cmake/Handmade/HandmadeConfig.cmake"
printf 'Handmade_DIR:PATH=%s\n' "$work/fake/cmake/Handmade" > "$work/fake/CMakeCache.txt"
if out=$("$check" "$work/fake" 2>&1); then
  fail "a configuration owned by no package was accepted"
elif ! grep -q 'Handmade.*no Debian package' <<<"$out"; then
  fail "the refusal does not name the hand-made configuration: $out"
fi

# A build folder that was never configured is an error, not a pass.
if "$check" "$work/nothing-here" >/dev/null 2>&1; then
  fail "a folder without CMakeCache.txt was accepted"
fi

[ "$failures" -eq 0 ] && echo "check_deps_test: all cases passed"
exit $((failures > 0))
