#!/usr/bin/env bash
# The layer check passes on the tree as it is, and fails naming the file and
# the include when a library includes one it does not link, or when two
# folders come to include each other.
# Usage: check_layers_test.sh SOURCE_FOLDER
set -uo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { python3 "$src/tools/check_layers.py" "$1" 2>&1; }
fresh() {
  rm -rf "$work/tree" && mkdir "$work/tree"
  for part in base model session regimes inventory screens app; do cp -r "$src/$part" "$work/tree/"; done
}

out=$(check "$src") || fail "the tree itself was refused: $out"

# The session may not reach up into the windows.
fresh
sed -i '1i #include "screens/shell/widget_kit.h"' "$work/tree/session/structure/simulation.cpp"
if out=$(check "$work/tree"); then
  fail "an include of a window header from the session was accepted"
elif ! grep -q 'session/structure/simulation.cpp: #include "screens/shell/widget_kit.h" is in tavelo_screens_shell, which tavelo_session does not link' <<<"$out"; then
  fail "the refusal does not name the file, the include and the libraries: $out"
fi

# Inside one library, two folders including each other are a circle.
fresh
sed -i '1i #include "session/structure/sim_log.h"' "$work/tree/session/entry/entry_session.cpp"
if out=$(check "$work/tree"); then
  fail "folders including each other were accepted"
elif ! grep -q 'circle: session/entry -> session/structure -> session/entry' <<<"$out" ||
     ! grep -q 'session/entry/entry_session.cpp: #include "session/structure/sim_log.h"' <<<"$out"; then
  fail "the circle is not named with its includes: $out"
fi

# A source file no library lists.
fresh
echo 'int stray() { return 0; }' > "$work/tree/regimes/stray.cpp"
if out=$(check "$work/tree"); then
  fail "a file outside every library was accepted"
elif ! grep -q 'regimes/stray.cpp: belongs to no library' <<<"$out"; then
  fail "the stray file is not named: $out"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "layer check test: passed"
