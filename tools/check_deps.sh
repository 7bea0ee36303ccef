#!/usr/bin/env bash
# Proves that tools/deps.sh is enough to configure the build on a fresh Debian
# machine: every CMake package configuration a configured build folder loaded
# (the <Name>_DIR entries of its CMakeCache.txt) must come from a Debian
# package that tools/deps.sh names, or that those packages pull in through
# their dependencies (apt-get installs no recommends, so only Depends and
# Pre-Depends count). A package that is merely installed on this machine does
# not count: that is how a missing one slips through.
# Usage: tools/check_deps.sh [--deps FILE] [BUILD_FOLDER...]   (default build-test)
# FILE is the installer script whose `--list` prints the packages
# (default tools/deps.sh; the tests give it a copy with a package removed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps_script="$root/tools/deps.sh"
if [ "${1:-}" = "--deps" ]; then
  [ $# -ge 2 ] || { echo "check_deps: --deps needs a file" >&2; exit 2; }
  deps_script=$2
  shift 2
fi
[ $# -gt 0 ] || set -- "$root/build-test"
fail() { echo "check_deps: $*" >&2; exit 1; }

mapfile -t listed < <(bash "$deps_script" --list)
[ ${#listed[@]} -gt 0 ] || fail "$deps_script --list printed no packages"

# The package configurations the build folders loaded: "<entry> <config file>".
configs=()
declare -A seen=()
for build in "$@"; do
  cache="$build/CMakeCache.txt"
  [ -f "$cache" ] || fail "$cache not found: configure the build first"
  while IFS= read -r line; do
    entry=${line%%_DIR:PATH=*}
    dir=${line#*_DIR:PATH=}
    [ -d "$dir" ] || continue
    lower=$(printf '%s' "$entry" | tr '[:upper:]' '[:lower:]')
    for file in "$dir/${entry}Config.cmake" "$dir/${lower}-config.cmake"; do
      if [ -f "$file" ]; then
        file=$(realpath "$file")
        [ -n "${seen[$file]:-}" ] || configs+=("${entry} ${file}")
        seen[$file]=1
        break
      fi
    done
  done < <(grep -E '^[A-Za-z0-9_.+-]+_DIR:PATH=' "$cache")
done
[ ${#configs[@]} -gt 0 ] || fail "no package configuration found in $*"

# Everything the listed packages bring along, as installed here.
declare -A closure=()
for p in "${listed[@]}"; do
  closure[$p]=1
done
while IFS= read -r line; do
  case "$line" in
    [!\ ]*) name=$line ;;                                     # a package recursed into
    *Depends:*) name=${line#*Depends: } ;;                   # Depends, |Depends, PreDepends
    *) continue ;;
  esac
  name=${name#<}
  name=${name%>}
  closure[${name%%:*}]=1
done < <(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
           --no-breaks --no-replaces --no-enhances "${listed[@]}" 2>/dev/null)

# Which package owns each configuration file (one dpkg call for all).
declare -A owners=()
files=()
for c in "${configs[@]}"; do
  files+=("${c#* }")
done
while IFS= read -r line; do
  case "$line" in
    diversion*) continue ;;
  esac
  file=${line#*: }
  owner=${line%%: *}
  owner=${owner%%,*}
  owners[$file]=${owner%%:*}
done < <(dpkg -S "${files[@]}" 2>/dev/null || true)

missing=()
for c in "${configs[@]}"; do
  entry=${c%% *}
  file=${c#* }
  owner=${owners[$file]:-}
  if [ -z "$owner" ]; then
    missing+=("$entry ($file): no Debian package owns it")
  elif [ -z "${closure[$owner]:-}" ]; then
    missing+=("$entry ($file): package $owner")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "check_deps: the build loaded package configurations that $deps_script does not install:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  echo "check_deps: add their packages to the list in tools/deps.sh" >&2
  exit 1
fi
echo "check_deps: all ${#configs[@]} package configurations come from the packages tools/deps.sh installs"
