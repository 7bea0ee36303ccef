#!/usr/bin/env bash
# Proves that an installed Tavelo works for an ordinary user: installs into a
# temporary prefix made read-only, runs the installed program under Xvfb as a
# user who cannot write there, enters a stand so that a log is written, and
# leaves with "Sair". The log must go to the user's data folder, "Sair" must
# delete the *.temp files there and nothing else, and nothing may be written
# next to the program.
# Usage: tools/check_installed.sh [build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-build}")
# shellcheck source=tools/xdrive.sh
source "$here/xdrive.sh"

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
  xdrive_stop_display
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check_installed: $*" >&2; exit 1; }

prefix="$work/prefix/usr"
cmake --install "$build" --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/tavelo" ] && [ -x "$prefix/bin/tavelo-cli" ] || fail "the programs were not installed"
[ -f "$prefix/share/applications/tavelo.desktop" ] || fail "no desktop entry"
[ -f "$prefix/share/icons/hicolor/scalable/apps/tavelo.svg" ] || fail "no icon"
[ -f "$prefix/share/man/man1/tavelo-cli.1" ] || fail "no manual page for tavelo-cli"
chmod -R a-w "$work/prefix"

# Root writes anywhere: run the program as an ordinary user then.
home="$work/home"
data="$home/.local/share/Tavelo"
mkdir -p "$data"
echo "an earlier run's log" > "$data/Simulacao1.temp"
echo "the user's own notes" > "$data/notas.txt"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody "$home"
  as_user=(runuser -u nobody --)
fi

touch "$work/marker"
sleep 1
xdrive_start_display
"${as_user[@]}" env HOME="$home" XDG_DATA_HOME="$home/.local/share" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
  "$prefix/bin/tavelo" >"$work/program.log" 2>&1 &
app_pid=$!

win "Tavelo - vs 2.0" >/dev/null || fail "the start screen did not open: $(cat "$work/program.log")"
menu 65
form1=$(win "Opções do Modelo"); focus "$form1"; keys alt+o; gone "Opções do Modelo"
menu 166
form2=$(win "Dados do Povoamento"); focus "$form2"; typ 12; keys Tab Tab; typ 9; keys Tab Tab space
form3=$(win "Dados do Povoamento não Desbastado"); focus "$form3"; keys space Tab; typ 1500; keys alt+o
gone "Dados do Povoamento não Desbastado"
focus "$form2"; keys alt+o
win "Estrutura do Povoamento" >/dev/null || fail "the stand structure screen did not open"

[ -s "$data/Simulacao2.temp" ] || fail "the log was not written to the user's data folder: $(ls -la "$data")"
grep -q "Volumes com casca, corte a 0.15 m:" "$data/Simulacao2.temp" || fail "the log does not hold the stand table"
written=$(find "$work/prefix" -newer "$work/marker" | head -n 5)
[ -z "$written" ] || fail "something was written next to the program: $written"

menu 272
for _ in $(seq 1 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end on Sair"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
ls "$data"/*.temp >/dev/null 2>&1 && fail "Sair left logs behind: $(ls "$data")"
[ -f "$data/notas.txt" ] || fail "Sair deleted a file that is not a log"
written=$(find "$work/prefix" -newer "$work/marker" | head -n 5)
[ -z "$written" ] || fail "something was written next to the program: $written"
echo "installed program: logs in the user's data folder, Sair deletes only *.temp there, nothing written next to the program"
