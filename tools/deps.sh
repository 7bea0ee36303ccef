#!/usr/bin/env bash
# Installs the Debian 12 packages Tavelo needs to build, run and test.
# Only what is missing is installed; nothing happens when all is present.
# With --list it prints the packages, one a line, and installs nothing (the
# dependency check reads the list from here, so this stays the only list).
set -euo pipefail

packages=(
  cmake g++ make pkg-config python3
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev qt6-qpa-plugins libgl-dev
  qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3 gdal-bin libgdal-dev python3-gdal
  coinor-libcbc-dev coinor-libclp-dev
  poppler-utils fonts-dejavu-core dpkg-dev file
  xvfb xdotool imagemagick
)

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
